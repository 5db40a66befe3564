/* UrlWindow: the bytes of a URL file held in memory, a ring buffer over the
 * resource positions [start, end). A UrlSource owns one; its transfer thread
 * appends at `end`, its reader copies out and moves `start` up as it goes.
 * Callers hold the source's lock; nothing here locks or allocates except
 * WindowReserve. */
#ifndef VARDEK_URL_WINDOW_H
#define VARDEK_URL_WINDOW_H

#include <cstddef>
#include <cstdint>
#include <vector>

struct UrlWindow {
  std::vector<uint8_t> ring;
  size_t head = 0;    /* ring index of the byte at `start` */
  uint64_t start = 0; /* resource position of the first byte held */
  uint64_t end = 0;   /* resource position after the last byte held */
};

/* Empties the window so that it continues at `position`; keeps the memory. */
void WindowReset(UrlWindow &window, uint64_t position);

/* Bytes held, and bytes that can be appended without growing. */
uint64_t WindowHeld(const UrlWindow &window);
uint64_t WindowRoom(const UrlWindow &window);

/* Grows the ring to `capacity` bytes, keeping what it holds. False when out
 * of memory; a smaller request leaves the ring as it is. */
bool WindowReserve(UrlWindow &window, size_t capacity);

/* Appends `count` bytes at `end`; `count` must not exceed WindowRoom. */
void WindowAppend(UrlWindow &window, const uint8_t *bytes, size_t count);

/* Copies up to `count` bytes from `position` (within [start, end]) and
 * returns how many it copied. */
size_t WindowCopy(const UrlWindow &window, uint64_t position, uint8_t *out, size_t count);

/* Forgets the bytes before `position` (clamped to [start, end]). */
void WindowDropBefore(UrlWindow &window, uint64_t position);

#endif
