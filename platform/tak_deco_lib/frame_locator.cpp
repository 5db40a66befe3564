/* Finding TAK frames (see frame_locator.h). The search for frame N keeps a
 * bracket lo <= N < hi of frames whose positions are known, estimates N's byte
 * position by interpolation, and reads forward from the estimate to the next
 * valid header (at most two frames' worth of bytes). A probe that does not
 * halve the bracket makes the next probe a plain halving, so a search takes a
 * few probes on ordinary files and never more than about twice the binary
 * logarithm of the data size. */
#include "frame_locator.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr int64_t kScanChunk = 16 * 1024; /* most headers turn up within one frame */
constexpr int kMaxProbes = 96;
constexpr int kWalkFrames = 4; /* finish by scanning when this close */

struct Known {
  int32_t number;
  int64_t offset;
  bool exact; /* a header was seen there */
};

bool ScanChunk(Locator *locator, int64_t at, int64_t count, int32_t minNumber, int32_t maxNumber,
               FrameSpot *out) {
  int64_t available = 0;
  const uint8_t *bytes = WindowFetch(locator->window, locator->stream, at,
                                     count + kMaxFrameHeaderBytes, locator->layout->dataEnd,
                                     &available);
  if (!bytes) return false;
  const int64_t starts = std::min(count, available);
  for (int64_t i = 0; i < starts; ++i) {
    const auto *hit = static_cast<const uint8_t *>(std::memchr(bytes + i, 0xFF, size_t(starts - i)));
    if (!hit) break;
    i = hit - bytes;
    if (ParseFrameHeader(hit, available - i, &out->header) && out->header.number >= minNumber &&
        out->header.number <= maxNumber) {
      out->offset = at + i;
      return true;
    }
  }
  return false;
}

/* Where the search reads next: interpolated, or the middle when told to halve. */
int64_t ProbeOffset(Known lo, Known hi, int32_t number, bool halve) {
  const int64_t span = hi.offset - lo.offset;
  int64_t guess = lo.offset + span / 2;
  if (!halve) {
    const double share = double(number - lo.number) / double(hi.number - lo.number);
    guess = lo.offset + int64_t(double(span) * share);
    guess -= span / (hi.number - lo.number) / 2; /* land before the frame, not inside it */
  }
  return std::clamp(guess, lo.offset + 1, hi.offset - 1);
}

bool FinishByScan(Locator *locator, Known lo, Known hi, int32_t number, FrameSpot *out) {
  const FrameLayout *layout = locator->layout;
  const int64_t from = lo.exact ? lo.offset + 1 : lo.offset;
  const int64_t reach = (int64_t(number - lo.number) + 1) * layout->maxFrameBytes;
  const int64_t limit = std::min(hi.offset, from + reach);
  ++locator->probes;
  return FindHeaderForward(locator, from, limit, number, number, out);
}

int64_t ScanForCrcEnd(Locator *locator, const FrameSpot *frame, int64_t limit) {
  int64_t available = 0;
  const uint8_t *bytes = WindowFetch(locator->window, locator->stream, frame->offset,
                                     limit - frame->offset, locator->layout->dataEnd, &available);
  if (!bytes) return -1;
  const int64_t dataAt = frame->header.size;
  uint32_t crc = kCrc24Initial;
  for (int64_t end = dataAt + 4; end <= available; ++end) {
    crc = Crc24Update(crc, bytes + end - 4, 1);
    if (crc == StoredCrc24(bytes + end - 3)) return frame->offset + end;
  }
  return -1;
}

bool DataCrcHolds(Locator *locator, const FrameSpot *frame, int64_t end) {
  int64_t available = 0;
  const int64_t size = end - frame->offset;
  const uint8_t *bytes = WindowFetch(locator->window, locator->stream, frame->offset, size,
                                     locator->layout->dataEnd, &available);
  return bytes && available == size && size - frame->header.size >= 4 &&
         Crc24Trailer(bytes + frame->header.size, size_t(size - frame->header.size));
}

}  // namespace

bool FindHeaderForward(Locator *locator, int64_t from, int64_t limit, int32_t minNumber,
                       int32_t maxNumber, FrameSpot *out) {
  limit = std::min(limit, locator->layout->dataEnd);
  for (int64_t at = std::max(from, locator->layout->dataStart); at < limit; at += kScanChunk)
    if (ScanChunk(locator, at, std::min(kScanChunk, limit - at), minNumber, maxNumber, out))
      return true;
  return false;
}

bool LocateFrame(Locator *locator, int32_t number, FrameSpot *out) {
  const FrameLayout *layout = locator->layout;
  if (number < 0 || number >= layout->frameCount) return false;
  Known lo{0, layout->dataStart, false};
  Known hi{layout->frameCount, layout->dataEnd, false};
  bool halve = false;
  for (int probe = 0; probe < kMaxProbes; ++probe) {
    if (number - lo.number <= kWalkFrames || hi.offset - lo.offset <= 2 * layout->maxFrameBytes)
      return FinishByScan(locator, lo, hi, number, out);
    const int64_t at = ProbeOffset(lo, hi, number, halve);
    const int64_t before = hi.offset - lo.offset;
    FrameSpot seen{};
    ++locator->probes;
    const int64_t reach = std::min(hi.offset, at + 2 * layout->maxFrameBytes);
    if (!FindHeaderForward(locator, at, reach, lo.number + 1, hi.number - 1, &seen)) {
      hi = Known{hi.number, at, false}; /* nothing usable from here: look lower */
    } else if (seen.header.number == number) {
      *out = seen;
      return true;
    } else if (seen.header.number < number) {
      lo = Known{seen.header.number, seen.offset, true};
    } else {
      hi = Known{seen.header.number, seen.offset, true};
    }
    halve = (hi.offset - lo.offset) * 2 > before;
  }
  return false;
}

int64_t FindFrameEnd(Locator *locator, const FrameSpot *frame, FrameSpot *next, bool *haveNext) {
  const FrameLayout *layout = locator->layout;
  *haveNext = false;
  const int64_t reach = std::min(layout->dataEnd, frame->offset + layout->maxFrameBytes + 1);
  const int32_t number = frame->header.number;
  const bool last = (frame->header.flags & kFrameIsLast) || number + 1 >= layout->frameCount;
  if (!last && FindHeaderForward(locator, frame->offset + frame->header.size, reach, number + 1,
                                 layout->frameCount - 1, next)) {
    *haveNext = true;
    if (next->header.number == number + 1 && DataCrcHolds(locator, frame, next->offset))
      return next->offset;
    /* A damaged header between us and the next one we saw: find our own end. */
    return ScanForCrcEnd(locator, frame, next->offset);
  }
  if (last && DataCrcHolds(locator, frame, layout->dataEnd)) return layout->dataEnd;
  return ScanForCrcEnd(locator, frame, reach);
}

/* True when the LAST_FRAME block places the last frame inside the data and
 * the file reaches that frame's end: nothing is cut, so the stated length
 * holds however damaged the frames near the end are. */
bool WholeByLastFrameBlock(const FrameLayout *layout, const TakFormat &format) {
  const bool stated = format.samples > 0 && format.samples < (int64_t(1) << 35) - 1;
  return stated && layout->lastFrameKnown && layout->lastFrameOffset >= layout->dataStart &&
         layout->lastFrameOffset < layout->lastFrameEnd && layout->lastFrameEnd == layout->dataEnd;
}

bool MeasureStream(Locator *locator, FrameLayout *layout) {
  if (WholeByLastFrameBlock(layout, locator->format)) {
    layout->totalSamples = locator->format.samples;
    layout->frameCount = int32_t((layout->totalSamples + layout->frameSamples - 1) / layout->frameSamples);
    return true;
  }
  const int64_t window = layout->maxFrameBytes + kMaxFrameHeaderBytes;
  FrameSpot last{}, seen{};
  bool found = false;
  for (int64_t from = std::max(layout->dataStart, layout->dataEnd - window);
       FindHeaderForward(locator, from, layout->dataEnd, 0, 0x1FFFFF, &seen);
       from = seen.offset + 1) {
    last = seen;
    found = true;
  }
  if (!found) {
    /* No frame header near the end: a stream cut inside its first frame has
     * no complete frame; a longer one with a ruined tail keeps its stated
     * length (the lost frames are reported as missing). */
    const TakFormat &format = locator->format;
    const bool stated = format.samples > 0 && format.samples < (int64_t(1) << 35) - 1;
    if (layout->dataEnd - layout->dataStart > window && !stated) return false;
    layout->totalSamples = layout->dataEnd - layout->dataStart > window ? format.samples : 0;
    layout->frameCount = int32_t((layout->totalSamples + layout->frameSamples - 1) / layout->frameSamples);
    return true;
  }
  const int64_t fs = layout->frameSamples;
  const bool isLast = last.header.flags & kFrameIsLast;
  const int64_t samples = isLast ? last.header.lastSamples : fs;
  const bool byBlock = layout->lastFrameKnown && layout->lastFrameOffset == last.offset &&
                       layout->lastFrameEnd <= layout->dataEnd;
  layout->frameCount = last.header.number + 1; /* lets the end search treat it as the last */
  const bool byCrc = DataCrcHolds(locator, &last, layout->dataEnd) ||
                     ScanForCrcEnd(locator, &last, layout->dataEnd) >= 0;
  const bool complete = byBlock || byCrc;
  layout->totalSamples = int64_t(last.header.number) * fs + (complete ? samples : 0);
  layout->frameCount = int32_t((layout->totalSamples + fs - 1) / fs);
  return true;
}
