/* Finding TAK frames in the stream. Frames carry no size: a frame runs from
 * its header to the next frame's header, and ends in a CRC-24 of its data.
 * This file finds headers (sync word + valid header CRC + a plausible frame
 * number), the end of a frame, the frame that holds a given number (a bounded
 * interpolation search, never a scan from the start) and the stream's exact
 * length from its last complete frame. Owns nothing; borrows the StreamIo, the
 * decoder's ByteWindow and the layout. Called by the decoder. */
#ifndef TAK_DECO_FRAME_LOCATOR_H
#define TAK_DECO_FRAME_LOCATOR_H

#include <cstdint>

#include "byte_window.h"
#include "stream_io.h"
#include "tak_format.h"

struct FrameLayout {
  int64_t dataStart;     /* first frame */
  int64_t dataEnd;       /* end of frame data (tags and trailing bytes excluded) */
  int32_t frameSamples;  /* samples per channel in every frame but the last */
  int64_t totalSamples;  /* exact stream length, per channel */
  int32_t frameCount;    /* TAK frames */
  int64_t maxFrameBytes; /* no frame is larger */
  bool lastFrameKnown;   /* the LAST_FRAME block's position and size: */
  int64_t lastFrameOffset;
  int64_t lastFrameEnd;
};

struct FrameSpot {
  int64_t offset;
  FrameHeader header;
};

struct Locator {
  const StreamIo *stream;
  ByteWindow *window;
  const FrameLayout *layout;
  TakFormat format; /* the container's stream information */
  int probes; /* header searches made, for tests of the seek cost */
};

/* The first frame header starting in [from, limit) whose number lies in
 * [minNumber, maxNumber]. False when there is none or a read failed. */
bool FindHeaderForward(Locator *locator, int64_t from, int64_t limit, int32_t minNumber,
                       int32_t maxNumber, FrameSpot *out);

/* Where frame `number` starts. Narrows a bracket of known frames (the first
 * frame and the end of the data to begin with) by interpolating the byte
 * position, falling back to halving when a probe gains little, and finishes
 * with a short forward scan. False when the frame's header cannot be found
 * (damaged or missing). */
bool LocateFrame(Locator *locator, int32_t number, FrameSpot *out);

/* The end of `frame`: the offset of the next frame's header when the data
 * CRC agrees, or else the first offset within reach where it does. Returns -1
 * when the frame is damaged. `next` receives the following header when one
 * was seen (`haveNext`). */
int64_t FindFrameEnd(Locator *locator, const FrameSpot *frame, FrameSpot *next, bool *haveNext);

/* Fills totalSamples and frameCount. A file that reaches the end of the last
 * frame its LAST_FRAME block places is whole and keeps its stated length,
 * even when the frames near its end are damaged. Otherwise they come from
 * the last frame whose data is complete: a file cut short ends at its last
 * complete frame. Without any
 * frame header near the end, a stream shorter than one frame has no frames
 * and a longer one keeps the length its stream information states. False
 * when it states none. */
bool MeasureStream(Locator *locator, FrameLayout *layout);

#endif
