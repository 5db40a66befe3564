/* Positioned reads through the caller's DecoderIo record. The library never
 * trusts the stream's current position: the plug-in moves it between our
 * calls, so every read here seeks first. Owns a copy of the nine-entry record
 * and the stream length taken at open; borrows the I/O user value. Called by
 * the byte window, the container parser and the APEv2 reader. */
#ifndef TAK_DECO_STREAM_IO_H
#define TAK_DECO_STREAM_IO_H

#include <cstdint>

#include "stream/decoder_interface.h"

struct StreamIo {
  DecoderIo io;   /* copied: the caller's record may be a temporary */
  void *user;     /* handed back on every call */
  int64_t length; /* total stream length in bytes */
};

/* Fills `out` from the caller's record. False when the record cannot serve us:
 * null, no read/seek/getLength entry, or no length. */
bool StreamIoOpen(StreamIo *out, const DecoderIo *io, void *user);

/* Reads up to `count` bytes starting at byte `offset`, seeking there first.
 * Returns the bytes read (short at the end of the stream), or -1 when the
 * seek or a read fails. */
int64_t StreamIoReadAt(const StreamIo *stream, int64_t offset, void *buffer, int64_t count);

#endif
