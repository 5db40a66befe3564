/* The decoder record and its operations (see tak_decoder.h). Damage policy:
 * a TAK frame whose header cannot be found, whose data CRC does not hold or
 * that libavcodec rejects is delivered as silence of exactly its sample count,
 * after one call of the damage callback (reason, the frame's first sample
 * frame, its sample count); decoding goes on with the next frame. */
#include "tak_decoder.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "pcm_output.h"

namespace {

/* Where the frame data ends: before the APEv2 and ID3v1 tags, and at the end
 * of the last frame when the LAST_FRAME block says so and fits. */
void PlanLayout(TakDecoder *d) {
  FrameLayout &layout = d->layout;
  const TakFormat &format = d->container.format;
  layout.dataStart = d->container.dataStart;
  layout.dataEnd = d->ape.valid ? d->ape.start : Id3v1Start(&d->stream);
  layout.dataEnd = std::max(layout.dataEnd, layout.dataStart);
  layout.frameSamples = format.frameSamples;
  layout.maxFrameBytes = int64_t(format.frameSamples) * format.channels * (format.bitsPerSample / 8 + 1) + 4096;
  if (d->container.hasLastFrame) {
    layout.lastFrameKnown = true;
    layout.lastFrameOffset = d->container.lastFrameOffset;
    layout.lastFrameEnd = d->container.lastFrameOffset + d->container.lastFrameSize;
    if (layout.lastFrameEnd >= layout.dataStart && layout.lastFrameEnd <= layout.dataEnd)
      layout.dataEnd = layout.lastFrameEnd;
  }
}

bool OpenStream(TakDecoder *d) {
  if (!ParseTakContainer(&d->stream, &d->container)) return false;
  if (!TakFormatDecodable(&d->container.format)) return false;
  PlanLayout(d);
  d->locator = Locator{&d->stream, &d->window, &d->layout, d->container.format, 0};
  if (d->layout.dataEnd > d->layout.dataStart && !MeasureStream(&d->locator, &d->layout))
    return false;
  const TakFormat &format = d->container.format;
  d->frameBytes = format.channels * (format.bitsPerSample / 8);
  d->pcm = static_cast<uint8_t *>(std::malloc(size_t(int64_t(format.frameSamples) * d->frameBytes)));
  if (!d->pcm) return false;
  return CodecOpen(&d->codec, &format, d->container.infoRaw, d->container.infoBitCount);
}

int32_t SamplesIn(const TakDecoder *d, int32_t frame) {
  const int64_t first = int64_t(frame) * d->layout.frameSamples;
  return int32_t(std::min<int64_t>(d->layout.frameSamples, d->layout.totalSamples - first));
}

void Damage(TakDecoder *d, int32_t reason, int32_t frame, int32_t samples, uint8_t *target) {
  const TakFormat &format = d->container.format;
  WriteSilence(format.channels, samples, format.bitsPerSample, target);
  if (d->onDamage)
    d->onDamage(d->damageUser, reason, int64_t(frame) * d->layout.frameSamples, samples);
}

/* Decodes TAK frame `frame` into `target`, or silence when damaged. The
 * target is the PCM cache, or the caller's buffer when the whole frame goes
 * there (the cache then keeps what it held). */
void DecodeFrame(TakDecoder *d, int32_t frame, uint8_t *target) {
  const int32_t samples = SamplesIn(d, frame);
  if (target == d->pcm) d->pcmFrame = frame;
  FrameSpot spot{};
  const bool hinted = d->haveNext && d->next.header.number == frame;
  if (hinted) spot = d->next;
  if (!hinted && !LocateFrame(&d->locator, frame, &spot)) return Damage(d, TAK_DAMAGE_MISSING, frame, samples, target);
  d->haveNext = false;
  const int64_t end = FindFrameEnd(&d->locator, &spot, &d->next, &d->haveNext);
  if (end < 0) return Damage(d, TAK_DAMAGE_CRC, frame, samples, target);
  int64_t available = 0;
  const uint8_t *bytes = WindowFetch(&d->window, &d->stream, spot.offset, end - spot.offset,
                                     d->layout.dataEnd, &available);
  if (!bytes || available != end - spot.offset ||
      !CodecDecode(&d->codec, bytes, available, &spot.header, samples, target))
    return Damage(d, TAK_DAMAGE_DECODE, frame, samples, target);
}

}  // namespace

TakDecoder *DecoderOpen(const DecoderIo *io, void *ioUser, TakDamageCallback onDamage,
                        void *damageUser) {
  auto *d = static_cast<TakDecoder *>(std::calloc(1, sizeof(TakDecoder)));
  if (!d) return nullptr;
  if (!StreamIoOpen(&d->stream, io, ioUser)) {
    std::free(d);
    return nullptr;
  }
  d->onDamage = onDamage;
  d->damageUser = damageUser;
  d->pcmFrame = -1;
  if (ReadApeTag(&d->stream, &d->ape) && OpenStream(d)) d->valid = 1;
  WindowReset(&d->window);
  return d;
}

int32_t DecoderRead(TakDecoder *d, uint8_t *out, int32_t wanted) {
  int32_t done = 0;
  const int64_t fs = d->layout.frameSamples;
  while (done < wanted && d->position < d->layout.totalSamples) {
    const auto frame = int32_t(d->position / fs);
    const int64_t inFrame = d->position - int64_t(frame) * fs;
    const int32_t samples = SamplesIn(d, frame);
    uint8_t *to = out + int64_t(done) * d->frameBytes;
    int64_t count = samples;
    if (inFrame == 0 && frame != d->pcmFrame && samples <= wanted - done) {
      DecodeFrame(d, frame, to); /* a whole frame wanted: no trip through the cache */
    } else {
      if (frame != d->pcmFrame) DecodeFrame(d, frame, d->pcm);
      count = std::min<int64_t>(samples - inFrame, wanted - done);
      std::memcpy(to, d->pcm + inFrame * d->frameBytes, size_t(count * d->frameBytes));
    }
    done += int32_t(count);
    d->position += count;
  }
  return done;
}

void DecoderSeek(TakDecoder *d, int64_t frame) {
  d->position = std::clamp<int64_t>(frame, 0, d->layout.totalSamples);
}

void DecoderClose(TakDecoder *d) {
  if (!d) return;
  CodecClose(&d->codec);
  WindowFree(&d->window);
  FreeApeTag(&d->ape);
  std::free(d->pcm);
  std::free(d);
}
