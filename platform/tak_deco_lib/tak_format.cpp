/* TAK stream information and frame headers (see tak_format.h). Field widths:
 * stream information = codec 6, profile 4, frame duration 4, samples 35, data
 * type 3, sample rate - 6000 in 18, bits - 8 in 5, channels - 1 in 4, then an
 * extension flag (valid bits 5, a layout flag and 6 bits per channel).
 * Frame header = sync 0xA0FF in 16, flags 3, frame number 21, [last frame:
 * samples - 1 in 14, 2 spare], [stream information, 6 bits (+25 when not
 * zero), byte alignment], CRC-24 of the bytes before it. */
#include "tak_format.h"

namespace {

constexpr uint32_t kSync = 0xA0FF;
constexpr int kDurationQuants[] = {3, 4, 6, 8, 4096, 8192, 16384, 512, 1024, 2048};

}  // namespace

int FrameSamplesFor(int sampleRate, int frameType) {
  if (frameType < 0 || frameType >= int(sizeof kDurationQuants / sizeof kDurationQuants[0])) return -1;
  int64_t samples = 0;
  int64_t limit = 0;
  if (frameType <= 3) {
    samples = int64_t(sampleRate) * kDurationQuants[frameType] >> 5;
    limit = 16384;
  } else {
    samples = kDurationQuants[frameType];
    limit = int64_t(sampleRate) * kDurationQuants[3] >> 5;
  }
  return (samples <= 0 || samples > limit) ? -1 : int(samples);
}

bool ParseTakFormat(BitReader *reader, TakFormat *out) {
  out->codec = int(ReadBits(reader, 6));
  ReadBits(reader, 4); /* encoder profile */
  out->frameType = int(ReadBits(reader, 4));
  out->samples = int64_t(ReadBits(reader, 35));
  out->dataType = int(ReadBits(reader, 3));
  out->sampleRate = int(ReadBits(reader, 18)) + 6000;
  out->bitsPerSample = int(ReadBits(reader, 5)) + 8;
  out->channels = int(ReadBits(reader, 4)) + 1;
  if (ReadBits(reader, 1)) {
    ReadBits(reader, 5); /* valid bits per sample */
    if (ReadBits(reader, 1))
      for (int i = 0; i < out->channels; ++i) ReadBits(reader, 6); /* speaker of channel i */
  }
  out->frameSamples = FrameSamplesFor(out->sampleRate, out->frameType);
  return !reader->overrun;
}

bool TakFormatDecodable(const TakFormat *format) {
  const bool depth = format->bitsPerSample == 8 || format->bitsPerSample == 16 ||
                     format->bitsPerSample == 24;
  const bool codec = format->codec == 2 || format->codec == 4;
  const int maxChannels = format->codec == 2 ? 2 : 6;
  return depth && codec && format->dataType == 0 && format->channels >= 1 &&
         format->channels <= maxChannels && format->frameSamples > 0;
}

bool ParseFrameHeader(const uint8_t *data, int64_t available, FrameHeader *out) {
  if (available < kMinFrameHeaderBytes || data[0] != 0xFF || data[1] != 0xA0) return false;
  BitReader reader = BitReaderOver(data, available < kMaxFrameHeaderBytes ? available
                                                                          : kMaxFrameHeaderBytes);
  if (ReadBits(&reader, 16) != kSync) return false;
  *out = FrameHeader{};
  out->flags = int(ReadBits(&reader, 3));
  out->number = int32_t(ReadBits(&reader, 21));
  if (out->flags & kFrameHasMetadata) return false;
  if (out->flags & kFrameIsLast) {
    out->lastSamples = int32_t(ReadBits(&reader, 14)) + 1;
    ReadBits(&reader, 2);
  }
  if (out->flags & kFrameHasInfo) {
    out->infoBit = reader.position;
    if (!ParseTakFormat(&reader, &out->info)) return false;
    out->infoBits = reader.position - out->infoBit;
    if (ReadBits(&reader, 6)) ReadBits(&reader, 25);
    AlignToByte(&reader);
  }
  ReadBits(&reader, 24);
  if (reader.overrun) return false;
  out->size = int(reader.position / 8);
  return Crc24Trailer(data, size_t(out->size));
}
