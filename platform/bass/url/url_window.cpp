/* The ring buffer of a URL file's bytes (url_window.h). Owns nothing but the
 * ring's memory; its owner, the UrlSource, serialises every call. */
#include "url_window.h"

#include <algorithm>
#include <cstring>
#include <new>

void WindowReset(UrlWindow &window, uint64_t position) {
  window.head = 0;
  window.start = position;
  window.end = position;
}

uint64_t WindowHeld(const UrlWindow &window) { return window.end - window.start; }

uint64_t WindowRoom(const UrlWindow &window) { return window.ring.size() - WindowHeld(window); }

size_t WindowCopy(const UrlWindow &window, uint64_t position, uint8_t *out, size_t count) {
  if (position < window.start || position >= window.end) return 0;
  size_t size = window.ring.size();
  size_t done = static_cast<size_t>(std::min<uint64_t>(count, window.end - position));
  size_t at = (window.head + static_cast<size_t>(position - window.start)) % size;
  size_t first = std::min(done, size - at);
  std::memcpy(out, window.ring.data() + at, first);
  std::memcpy(out + first, window.ring.data(), done - first);
  return done;
}

bool WindowReserve(UrlWindow &window, size_t capacity) {
  if (capacity <= window.ring.size()) return true;
  std::vector<uint8_t> grown;
  try {
    grown.resize(capacity);
  } catch (const std::bad_alloc &) {
    return false;
  }
  if (!window.ring.empty()) WindowCopy(window, window.start, grown.data(), WindowHeld(window));
  window.ring.swap(grown);
  window.head = 0;
  return true;
}

void WindowAppend(UrlWindow &window, const uint8_t *bytes, size_t count) {
  size_t size = window.ring.size();
  if (count == 0 || size == 0) return;
  size_t at = (window.head + static_cast<size_t>(WindowHeld(window))) % size;
  size_t first = std::min(count, size - at);
  std::memcpy(window.ring.data() + at, bytes, first);
  std::memcpy(window.ring.data(), bytes + first, count - first);
  window.end += count;
}

void WindowDropBefore(UrlWindow &window, uint64_t position) {
  position = std::clamp(position, window.start, window.end);
  if (window.ring.empty()) {
    window.start = position;
    return;
  }
  window.head = (window.head + static_cast<size_t>(position - window.start)) % window.ring.size();
  window.start = position;
}
