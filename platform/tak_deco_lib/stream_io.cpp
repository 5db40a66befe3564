/* Positioned reads through the caller's DecoderIo record (see stream_io.h).
 * Reads are issued in chunks that fit the record's 32-bit counts and loop
 * until the request is met or the stream gives no more. */
#include "stream_io.h"

#include <algorithm>

bool StreamIoOpen(StreamIo *out, const DecoderIo *io, void *user) {
  if (!io || !io->read || !io->seek || !io->getLength) return false;
  out->io = *io;
  out->user = user;
  int64_t length = -1;
  if (!io->getLength(user, &length) || length < 0) return false;
  out->length = length;
  return true;
}

int64_t StreamIoReadAt(const StreamIo *stream, int64_t offset, void *buffer, int64_t count) {
  if (offset < 0 || count < 0) return -1;
  if (offset >= stream->length || count == 0) return 0;
  count = std::min(count, stream->length - offset);
  if (!stream->io.seek(stream->user, offset)) return -1;
  auto *bytes = static_cast<uint8_t *>(buffer);
  int64_t done = 0;
  while (done < count) {
    const int32_t chunk = int32_t(std::min<int64_t>(count - done, 1 << 30));
    int32_t got = 0;
    if (!stream->io.read(stream->user, bytes + done, chunk, &got) || got < 0) return -1;
    if (got == 0) break;
    done += std::min<int64_t>(got, chunk);
  }
  return done;
}
