/* A growable window of stream bytes (see byte_window.h). A fetch that starts
 * inside the window keeps the bytes from there on and reads only the missing
 * tail; any other fetch starts the window afresh. Reads that continue the
 * window go a little beyond the request, so that walking frame by frame costs
 * one read per few frames; a fresh window (a jump, as the probes of a seek
 * make) reads only what was asked, as the next fetch is likely elsewhere. */
#include "byte_window.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace {

constexpr int64_t kReadAhead = 64 * 1024;

bool Reserve(ByteWindow *window, int64_t bytes) {
  if (bytes <= window->capacity) return true;
  const int64_t grown = std::max(bytes, window->capacity * 2);
  auto *data = static_cast<uint8_t *>(std::realloc(window->data, size_t(grown)));
  if (!data) return false;
  window->data = data;
  window->capacity = grown;
  return true;
}

/* Moves the window so that it starts at `offset`, keeping what overlaps. */
void Rebase(ByteWindow *window, int64_t offset) {
  const int64_t end = window->start + window->size;
  if (offset >= window->start && offset <= end) {
    const int64_t drop = offset - window->start;
    if (drop > 0) std::memmove(window->data, window->data + drop, size_t(window->size - drop));
    window->size -= drop;
  } else {
    window->size = 0;
  }
  window->start = offset;
}

}  // namespace

const uint8_t *WindowFetch(ByteWindow *window, const StreamIo *stream, int64_t offset,
                           int64_t count, int64_t limit, int64_t *available) {
  *available = 0;
  limit = std::min(limit, stream->length);
  if (offset < 0 || count < 0) return nullptr;
  const int64_t want = std::max<int64_t>(0, std::min(offset + count, limit) - offset);
  const int64_t end = window->start + window->size;
  if (offset >= window->start && offset + want <= end) {
    *available = want;
    return window->data + (offset - window->start);
  }
  const bool continues = offset >= window->start && offset <= end;
  Rebase(window, offset);
  const int64_t target = std::min(limit, offset + want + (continues ? kReadAhead : 0));
  const int64_t missing = target - (window->start + window->size);
  if (missing > 0) {
    if (!Reserve(window, target - window->start)) return nullptr;
    const int64_t got = StreamIoReadAt(stream, window->start + window->size,
                                       window->data + window->size, missing);
    if (got < 0) return nullptr;
    window->size += got;
  }
  *available = std::min(want, window->size);
  return window->data ? window->data : reinterpret_cast<const uint8_t *>("");
}

void WindowReset(ByteWindow *window) {
  window->start = 0;
  window->size = 0;
}

void WindowFree(ByteWindow *window) {
  std::free(window->data);
  *window = ByteWindow{};
}
