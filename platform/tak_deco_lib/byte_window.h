/* A growable window of stream bytes, so that frame parsing can look at a
 * contiguous run of the file without a read per field. Owns its buffer;
 * borrows the StreamIo it reads through. Called by the frame locator and the
 * frame decoder. */
#ifndef TAK_DECO_BYTE_WINDOW_H
#define TAK_DECO_BYTE_WINDOW_H

#include <cstdint>

#include "stream_io.h"

struct ByteWindow {
  uint8_t *data;    /* owned, `capacity` bytes */
  int64_t capacity;
  int64_t start;    /* stream offset of data[0] */
  int64_t size;     /* valid bytes from data[0] */
};

/* Makes the bytes [offset, offset + count) available, never past `limit` (an
 * exclusive stream offset). Returns a pointer to the byte at `offset` and sets
 * `available` to how many of the requested bytes could be had (fewer at
 * `limit` or at the end of the stream). Null when a read or an allocation
 * fails. The pointer stays valid until the next fetch. */
const uint8_t *WindowFetch(ByteWindow *window, const StreamIo *stream, int64_t offset,
                           int64_t count, int64_t limit, int64_t *available);

/* Forgets the buffered bytes (after the stream may have changed under us). */
void WindowReset(ByteWindow *window);

/* Frees the buffer. */
void WindowFree(ByteWindow *window);

#endif
