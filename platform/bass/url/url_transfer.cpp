/* The transfer thread of a URL file: one libcurl multi handle per source,
 * driving one easy handle at a time. It starts a request whenever the reader
 * asks for a new one (UrlSource::generation), turns the final response's
 * headers into length and range support, appends body bytes to the window,
 * pauses the transfer while the window is full, hands the bytes to the
 * download procedure, and gives up a transfer that stalls longer than the
 * timeout. Owns the curl handles; borrows the UrlSource, whose shared fields
 * it touches only under its lock. Called by url_source.cpp. */
#include <algorithm>
#include <cstdio>
#include <mutex>

#include "url_source_internal.h"

namespace {

enum class Room { Ready, Wait, NoMemory };

/* The ring's size: the window, or the file when it is shorter. */
uint64_t WindowCapacity(const UrlSource *s) {
  uint64_t cap = s->windowBytes;
  if (s->total != UINT64_MAX && s->total > s->offset) cap = std::min(cap, s->total - s->offset);
  return std::max<uint64_t>(cap, 1);
}

/* Under the lock: makes room for `count` more bytes, forgetting what lies
 * more than half a window behind the reader. Wait when the reader still has
 * bytes ahead of it that fill the window. */
Room MakeRoom(UrlSource *s, size_t count) {
  UrlWindow &w = s->window;
  if (w.ring.empty() && !WindowReserve(w, WindowCapacity(s))) return Room::NoMemory;
  if (WindowRoom(w) >= count) return Room::Ready;
  uint64_t behind = s->position - w.start;
  WindowDropBefore(w, s->position - std::min<uint64_t>(behind, w.ring.size() / 2));
  if (WindowRoom(w) >= count) return Room::Ready;
  if (s->position < w.end) return Room::Wait;
  WindowDropBefore(w, s->position);
  if (WindowRoom(w) >= count) return Room::Ready;
  return WindowReserve(w, count) ? Room::Ready : Room::NoMemory; /* a chunk larger than the window */
}

bool Superseded(const UrlSource *s) { return s->stop || s->generation != s->activeGeneration; }

void EndDownloadProc(UrlSource *s) {
  if (s->procEnded) return;
  s->procEnded = true;
  if (s->proc) s->proc(nullptr, 0, s->user);
}

/* The download procedure sees the body in order from `offset`: the part of
 * each chunk that continues what it has seen so far. */
void DeliverToProc(UrlSource *s, uint64_t at, const char *data, size_t count) {
  if (!s->proc || s->procEnded || at > s->procNext || at + count <= s->procNext) return;
  size_t from = static_cast<size_t>(s->procNext - at);
  s->proc(data + from, static_cast<uint32_t>(count - from), s->user);
  s->procNext = at + count;
}

size_t OnBody(char *data, size_t size, size_t items, void *user) {
  auto *s = static_cast<UrlSource *>(user);
  size_t count = size * items;
  uint64_t at = s->incoming;
  {
    std::lock_guard<std::mutex> hold(s->lock);
    if (Superseded(s)) return 0;
    UrlWindow &w = s->window;
    size_t skip = static_cast<size_t>(std::min<uint64_t>(count, w.end - at));
    if (skip < count) {
      Room room = MakeRoom(s, count - skip);
      if (room == Room::Wait) {
        s->paused = true;
        return CURL_WRITEFUNC_PAUSE;
      }
      if (room == Room::NoMemory) {
        s->statusError = HOST_ERROR_MEMORY;
        return 0;
      }
      WindowAppend(w, reinterpret_cast<const uint8_t *>(data) + skip, count - skip);
      s->peakHeld = std::max(s->peakHeld, WindowHeld(w));
    }
    s->incoming = at + count;
    s->lastProgress = UrlClock::now();
    s->changed.notify_all();
  }
  DeliverToProc(s, at, data, count);
  return count;
}

/* Under the lock: what the final response's headers say. False when the
 * transfer must stop (an error status, an unusable answer, or a request
 * past the end, which `rangeEnd` marks as a clean end). */
bool TakeResponse(UrlSource *s, long status) {
  const UrlResponse &r = s->response;
  uint64_t bodyAt = 0;
  if (status == 206) {
    if (!r.hasContentRange || r.rangeFirst == UINT64_MAX || r.rangeFirst > s->window.end) {
      s->statusError = HOST_ERROR_PROTOCOL;
      return false;
    }
    bodyAt = r.rangeFirst;
    if (r.rangeTotal != UINT64_MAX) s->total = r.rangeTotal;
    s->ranges = UrlRanges::Accepted;
  } else if (status == 200) {
    if (r.contentLength != UINT64_MAX) s->total = r.contentLength;
    bool askedPart = s->sentRange && s->sentFrom > 0;
    s->ranges = r.acceptRanges && !askedPart ? UrlRanges::Accepted : UrlRanges::Refused;
  } else if (status == 416) {
    if (r.hasContentRange && r.rangeTotal != UINT64_MAX) s->total = r.rangeTotal;
    bool pastEnd = s->total != UINT64_MAX && s->sentFrom > s->total;
    s->statusError = pastEnd ? HOST_ERROR_POSITION : HOST_OK;
    s->rangeEnd = !pastEnd;
    s->answered = true;
    s->changed.notify_all();
    return false;
  } else {
    s->statusError = HOST_ERROR_FILEOPEN;
    return false;
  }
  s->incoming = bodyAt;
  s->bodyStarted = true;
  s->answered = true;
  s->changed.notify_all();
  return true;
}

size_t OnHeader(char *data, size_t size, size_t items, void *user) {
  auto *s = static_cast<UrlSource *>(user);
  size_t count = size * items;
  std::string_view line(data, count);
  s->lastProgress = UrlClock::now();
  if (line != "\r\n" && line != "\n") {
    ResponseAddLine(s->response, line);
    return count;
  }
  long status = 0;
  curl_easy_getinfo(s->easy, CURLINFO_RESPONSE_CODE, &status);
  if (status < 200 || (status >= 300 && status < 400 && s->response.hasLocation)) return count;
  std::lock_guard<std::mutex> hold(s->lock);
  if (Superseded(s)) return 0;
  return TakeResponse(s, status) ? count : 0;
}

CURL *NewEasy(UrlSource *s) {
  CURL *easy = curl_easy_init();
  if (!easy) return nullptr;
  long timeoutMs = static_cast<long>(s->timeoutMs);
  bool ok = curl_easy_setopt(easy, CURLOPT_URL, s->url.c_str()) == CURLE_OK &&
            curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L) == CURLE_OK &&
            curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https") == CURLE_OK &&
            curl_easy_setopt(easy, CURLOPT_REDIR_PROTOCOLS_STR, "http,https") == CURLE_OK &&
            curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 1L) == CURLE_OK &&
            curl_easy_setopt(easy, CURLOPT_MAXREDIRS, 5L) == CURLE_OK &&
            curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT_MS, timeoutMs) == CURLE_OK &&
            curl_easy_setopt(easy, CURLOPT_PROXY, "") == CURLE_OK &&
            curl_easy_setopt(easy, CURLOPT_SSL_VERIFYPEER, 1L) == CURLE_OK &&
            curl_easy_setopt(easy, CURLOPT_SSL_VERIFYHOST, 2L) == CURLE_OK &&
            curl_easy_setopt(easy, CURLOPT_USERAGENT, "vardek") == CURLE_OK &&
            curl_easy_setopt(easy, CURLOPT_TCP_KEEPALIVE, 1L) == CURLE_OK &&
            curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, OnBody) == CURLE_OK &&
            curl_easy_setopt(easy, CURLOPT_WRITEDATA, s) == CURLE_OK &&
            curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, OnHeader) == CURLE_OK &&
            curl_easy_setopt(easy, CURLOPT_HEADERDATA, s) == CURLE_OK;
  if (ok && s->sentRange) {
    char range[32];
    std::snprintf(range, sizeof range, "%llu-", static_cast<unsigned long long>(s->sentFrom));
    ok = curl_easy_setopt(easy, CURLOPT_RANGE, range) == CURLE_OK;
  }
  if (!ok) curl_easy_cleanup(easy);
  return ok ? easy : nullptr;
}

void DropEasy(UrlSource *s) {
  if (!s->easy) return;
  curl_multi_remove_handle(s->multi, s->easy);
  curl_easy_cleanup(s->easy);
  s->easy = nullptr;
}

/* Ends the current transfer with `result`, unless the reader has moved on. */
void Finish(UrlSource *s, CURLcode result) {
  DropEasy(s);
  bool extendsProc = (s->bodyStarted && s->incoming == s->procNext) ||
                     (s->rangeEnd && s->sentFrom == s->procNext);
  {
    std::lock_guard<std::mutex> hold(s->lock);
    s->paused = false;
    if (Superseded(s)) return;
    if (s->rangeEnd || (result == CURLE_OK && s->bodyStarted)) {
      s->state = UrlTransferState::Done;
      if (s->total == UINT64_MAX && s->bodyStarted) s->total = s->incoming;
    } else {
      s->state = UrlTransferState::Failed;
      s->error = s->statusError != HOST_OK ? s->statusError
                 : result == CURLE_OK      ? HOST_ERROR_PROTOCOL
                                           : HostErrorFromCurl(result);
    }
    s->changed.notify_all();
  }
  if (extendsProc) EndDownloadProc(s);
}

void Start(UrlSource *s, uint64_t generation, uint64_t from, bool useRange) {
  DropEasy(s);
  s->activeGeneration = generation;
  s->response = UrlResponse{};
  s->bodyStarted = false;
  s->rangeEnd = false;
  s->statusError = HOST_OK;
  s->incoming = 0;
  s->sentRange = useRange;
  s->sentFrom = from;
  s->lastProgress = UrlClock::now();
  s->easy = NewEasy(s);
  bool added = s->easy && curl_multi_add_handle(s->multi, s->easy) == CURLM_OK;
  {
    std::lock_guard<std::mutex> hold(s->lock);
    s->paused = false;
    s->requests++;
  }
  if (!added) {
    s->statusError = HOST_ERROR_MEMORY;
    Finish(s, CURLE_OUT_OF_MEMORY);
  }
}

/* Stops the transfer without starting another: the reader sits at the end. */
void Idle(UrlSource *s, uint64_t generation) {
  DropEasy(s);
  s->activeGeneration = generation;
  std::lock_guard<std::mutex> hold(s->lock);
  s->paused = false;
}

/* Resumes a paused transfer once the window has room for a chunk. */
void Resume(UrlSource *s) {
  {
    std::lock_guard<std::mutex> hold(s->lock);
    if (!s->paused || MakeRoom(s, CURL_MAX_WRITE_SIZE) != Room::Ready) return;
    s->paused = false;
  }
  s->lastProgress = UrlClock::now();
  if (s->easy) curl_easy_pause(s->easy, CURLPAUSE_CONT);
}

/* Gives up a transfer that has seen nothing for the timeout; returns how
 * long to wait for libcurl before looking again. */
int Watch(UrlSource *s) {
  if (!s->easy) return 1000;
  {
    std::lock_guard<std::mutex> hold(s->lock);
    if (s->paused) return 1000;
  }
  auto quiet = std::chrono::duration_cast<std::chrono::milliseconds>(UrlClock::now() - s->lastProgress);
  if (quiet.count() >= s->timeoutMs) {
    Finish(s, CURLE_OPERATION_TIMEDOUT);
    return 1000;
  }
  return static_cast<int>(std::clamp<int64_t>(s->timeoutMs - quiet.count(), 1, 1000));
}

void Drive(UrlSource *s) {
  int running = 0;
  curl_multi_perform(s->multi, &running);
  int queued = 0;
  while (CURLMsg *message = curl_multi_info_read(s->multi, &queued))
    if (message->msg == CURLMSG_DONE && message->easy_handle == s->easy) Finish(s, message->data.result);
}

}  // namespace

bool TransferCreate(UrlSource *source) {
  static std::once_flag global;
  static CURLcode globalResult = CURLE_OK;
  std::call_once(global, [] { globalResult = curl_global_init(CURL_GLOBAL_DEFAULT); });
  if (globalResult != CURLE_OK) return false;
  source->multi = curl_multi_init();
  return source->multi != nullptr;
}

void TransferRun(UrlSource *s) {
  for (;;) {
    uint64_t generation = 0, from = 0;
    bool useRange = true;
    {
      std::lock_guard<std::mutex> hold(s->lock);
      if (s->stop) break;
      generation = s->generation;
      from = s->requestAt;
      useRange = s->ranges != UrlRanges::Refused;
    }
    if (generation != s->activeGeneration && from == kNoRequest) {
      Idle(s, generation);
    } else if (generation != s->activeGeneration) {
      Start(s, generation, from, useRange);
    }
    Resume(s);
    Drive(s);
    int waitMs = Watch(s);
    curl_multi_poll(s->multi, nullptr, 0, waitMs, nullptr);
  }
  DropEasy(s);
}

void TransferDestroy(UrlSource *source) {
  DropEasy(source);
  if (source->multi) curl_multi_cleanup(source->multi);
  source->multi = nullptr;
}

void TransferWake(UrlSource *source) { curl_multi_wakeup(source->multi); }

void TransferEndDownloadProc(UrlSource *source) { EndDownloadProc(source); }
