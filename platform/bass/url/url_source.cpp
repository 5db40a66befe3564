/* The public face of a URL file (url_source.h): open, read, seek, the
 * position queries and close. Owns the UrlSource record and its transfer
 * thread's lifetime; the transfer itself lives in url_transfer.cpp, the
 * buffer in url_window.cpp. Called by the host's file layer. */
#include <algorithm>
#include <cstring>
#include <new>
#include <string_view>
#include <system_error>

#include "url_source_internal.h"

namespace {

constexpr uint32_t kDefaultTimeoutMs = 10000;
constexpr uint64_t kDefaultWindow = 1u << 20;
constexpr uint64_t kMinWindow = 64u << 10;

/* True for a well-formed http:// or https:// URL. */
bool IsHttpUrl(const char *url) {
  CURLU *parsed = curl_url();
  if (!parsed) return false;
  char *scheme = nullptr;
  bool ok = curl_url_set(parsed, CURLUPART_URL, url, 0) == CURLUE_OK &&
            curl_url_get(parsed, CURLUPART_SCHEME, &scheme, 0) == CURLUE_OK &&
            (std::string_view(scheme) == "http" || std::string_view(scheme) == "https");
  curl_free(scheme);
  curl_url_cleanup(parsed);
  return ok;
}

/* Under the lock: wakes the transfer thread if a full window held it. */
void WakeIfPaused(UrlSource *s) {
  if (s->paused) TransferWake(s);
}

/* Under the lock: empties the window at `at` and has the transfer thread
 * start a request that reaches it (or stop, at the known end). */
void RequestFrom(UrlSource *s, uint64_t at) {
  WindowReset(s->window, at);
  s->position = at;
  s->generation++;
  s->error = HOST_OK;
  if (s->total != UINT64_MAX && at >= s->total) {
    s->requestAt = kNoRequest;
    s->state = UrlTransferState::Done;
  } else {
    s->requestAt = s->ranges == UrlRanges::Refused ? 0 : at;
    s->state = UrlTransferState::Running;
  }
  TransferWake(s);
}

void StopWorker(UrlSource *s) {
  {
    std::lock_guard<std::mutex> hold(s->lock);
    s->stop = true;
  }
  TransferWake(s);
  if (s->worker.joinable()) s->worker.join();
}

UrlSource *NewSource(const char *url, uint64_t offset, HostDownloadProc proc, void *user,
                     const UrlSourceOptions *options) {
  auto *s = new (std::nothrow) UrlSource;
  if (!s) return nullptr;
  try {
    s->url = url;
  } catch (const std::bad_alloc &) {
    delete s;
    return nullptr;
  }
  s->offset = offset;
  s->proc = proc;
  s->user = user;
  s->timeoutMs = options && options->timeoutMs ? options->timeoutMs : kDefaultTimeoutMs;
  uint64_t window = options && options->windowBytes ? options->windowBytes : kDefaultWindow;
  s->windowBytes = std::max(window, kMinWindow);
  s->position = offset;
  WindowReset(s->window, offset);
  s->requestAt = offset;
  s->procNext = offset;
  return s;
}

/* Waits for the first answer; returns the host error code for it. */
int32_t AwaitAnswer(UrlSource *s) {
  std::unique_lock<std::mutex> hold(s->lock);
  s->changed.wait(hold, [s] { return s->answered || s->state != UrlTransferState::Running; });
  if (!s->answered) return s->state == UrlTransferState::Failed ? s->error : HOST_ERROR_PROTOCOL;
  if (s->total != UINT64_MAX && s->offset > s->total) return HOST_ERROR_POSITION;
  return HOST_OK; /* a body that fails after the headers is a short file, not a failed open */
}

/* Tears down a source whose open failed: no download procedure call. */
void Discard(UrlSource *s) {
  StopWorker(s);
  TransferDestroy(s);
  delete s;
}

}  // namespace

UrlSource *UrlSourceOpen(const char *url, uint64_t offset, HostDownloadProc proc, void *user,
                         const UrlSourceOptions *options, int32_t *error) {
  int32_t ignored = HOST_OK;
  if (!error) error = &ignored;
  *error = HOST_OK;
  if (!url || !IsHttpUrl(url)) {
    *error = HOST_ERROR_ILLPARAM;
    return nullptr;
  }
  UrlSource *s = NewSource(url, offset, proc, user, options);
  if (!s || !TransferCreate(s)) {
    if (s) Discard(s);
    *error = HOST_ERROR_MEMORY;
    return nullptr;
  }
  try {
    s->worker = std::thread(TransferRun, s);
  } catch (const std::system_error &) {
    Discard(s);
    *error = HOST_ERROR_MEMORY;
    return nullptr;
  }
  *error = AwaitAnswer(s);
  if (*error != HOST_OK) {
    Discard(s);
    return nullptr;
  }
  return s;
}

uint32_t UrlSourceRead(UrlSource *s, void *buffer, uint32_t count) {
  auto *out = static_cast<uint8_t *>(buffer);
  std::unique_lock<std::mutex> hold(s->lock);
  uint32_t done = 0;
  auto timeout = std::chrono::milliseconds(s->timeoutMs);
  auto deadline = UrlClock::now() + timeout;
  while (done < count) {
    size_t got = WindowCopy(s->window, s->position, out + done, count - done);
    if (got > 0) {
      s->position += got;
      done += static_cast<uint32_t>(got);
      deadline = UrlClock::now() + timeout;
      continue;
    }
    if (s->total != UINT64_MAX && s->position >= s->total) break;
    if (s->state != UrlTransferState::Running) break;
    WakeIfPaused(s);
    if (s->changed.wait_until(hold, deadline) == std::cv_status::timeout &&
        s->window.end <= s->position && s->state == UrlTransferState::Running)
      break;
  }
  WakeIfPaused(s);
  return done;
}

bool UrlSourceSeek(UrlSource *s, uint64_t position) {
  if (position >= UINT64_MAX - s->offset) return false;
  uint64_t at = s->offset + position;
  std::lock_guard<std::mutex> hold(s->lock);
  if (s->total != UINT64_MAX && at > s->total) return false;
  const UrlWindow &w = s->window;
  if (at >= w.start && at <= w.end) {
    s->position = at;
    if (at == w.end && s->state == UrlTransferState::Failed) RequestFrom(s, at);
    return true;
  }
  bool readThrough = at > w.end && s->state == UrlTransferState::Running &&
                     (s->ranges != UrlRanges::Accepted || at - w.end <= s->windowBytes / 2);
  if (readThrough) {
    WindowReset(s->window, at);
    s->position = at;
    WakeIfPaused(s);
    return true;
  }
  RequestFrom(s, at);
  return true;
}

uint64_t UrlSourcePosition(UrlSource *s) {
  std::lock_guard<std::mutex> hold(s->lock);
  return s->position - s->offset;
}

uint64_t UrlSourceLength(UrlSource *s) {
  std::lock_guard<std::mutex> hold(s->lock);
  if (s->total == UINT64_MAX) return UINT64_MAX;
  return s->total > s->offset ? s->total - s->offset : 0;
}

uint64_t UrlSourceDownloaded(UrlSource *s) {
  std::lock_guard<std::mutex> hold(s->lock);
  return s->window.end - s->offset;
}

void UrlSourceClose(UrlSource *s) {
  if (!s) return;
  StopWorker(s);
  TransferEndDownloadProc(s);
  TransferDestroy(s);
  delete s;
}

void UrlSourceGetStats(UrlSource *s, UrlSourceStats *stats) {
  std::lock_guard<std::mutex> hold(s->lock);
  stats->requests = s->requests;
  stats->held = WindowHeld(s->window);
  stats->peakHeld = s->peakHeld;
  stats->capacity = s->window.ring.size();
  stats->rangesAccepted = s->ranges == UrlRanges::Accepted;
}
