/* The TAK container up to the first frame: an optional leading ID3v2 tag
 * (skipped), the "tBaK" marker, then metadata blocks (type byte, 24-bit size,
 * payload ending in a CRC-24) up to the END block. Keeps the stream
 * information (parsed and as raw bits, for frames that do not repeat it) and
 * the LAST_FRAME block's position and size. Owns nothing but the record;
 * borrows the StreamIo. Called by the decoder at open. */
#ifndef TAK_DECO_TAK_CONTAINER_H
#define TAK_DECO_TAK_CONTAINER_H

#include <cstdint>

#include "stream_io.h"
#include "tak_format.h"

struct TakContainer {
  int64_t dataStart;       /* stream offset of the first frame */
  TakFormat format;        /* from the STREAMINFO block */
  uint8_t infoRaw[64];     /* the STREAMINFO payload (CRC excluded) */
  int64_t infoBitCount;    /* bits of it the stream information takes */
  bool hasLastFrame;       /* a LAST_FRAME block was present and intact */
  int64_t lastFrameOffset; /* stream offset of the last frame */
  int64_t lastFrameSize;   /* its size in bytes */
};

/* Offset just past any ID3v2 tags at the start of the stream (0 if none). */
int64_t SkipId3v2(const StreamIo *stream);

/* Parses the container. False when the stream is not a TAK stream we can
 * read: no marker, a block that runs past the end, a damaged or missing
 * STREAMINFO block, or no END block. */
bool ParseTakContainer(const StreamIo *stream, TakContainer *out);

#endif
