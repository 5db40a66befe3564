/* The sample procedure (TakStreamProc): on each host request it decodes as
 * many whole frames as fit the host's buffer into a scratch block of its own,
 * converts them to 16-bit little-endian or 32-bit float output and frees the
 * scratch block again. It owns only that per-call block; the buffer is the
 * host's, the decoder and format are the TakStream's. Called by the host
 * through the procedure handed to CreateStream. */
#include "sample_delivery.h"

#include <bit>
#include <cstddef>
#include <cstring>

#include "../os/process_heap.h"
#include "tak_stream.h"

namespace {

/* One pass from `samples` decoded samples to 16-bit little-endian output. */
using ConvertToInt16 = void (*)(const uint8_t *in, uint8_t *out, std::size_t samples);

/* Unsigned 8-bit u becomes (u - 128) * 256: low byte 0, high byte u - 128. */
void Convert8(const uint8_t *in, uint8_t *out, std::size_t samples) {
  for (std::size_t i = 0; i < samples; ++i) {
    out[2 * i] = 0;
    out[2 * i + 1] = uint8_t(in[i] ^ 0x80u);
  }
}

void Convert16(const uint8_t *in, uint8_t *out, std::size_t samples) {
  std::memcpy(out, in, samples * 2);
}

uint64_t Load64(const uint8_t *p) {
  uint64_t v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

/* Wider samples keep their top 16 bits; the low bytes are dropped. On
 * little-endian machines eight 24-bit samples go at a time: three 64-bit
 * words in, two out. The rest (and big-endian machines) go byte by byte. */
void Convert24(const uint8_t *in, uint8_t *out, std::size_t samples) {
  std::size_t i = 0;
  if constexpr (std::endian::native == std::endian::little) {
    for (; i + 8 <= samples; i += 8) {
      const uint64_t a = Load64(in + 3 * i), b = Load64(in + 3 * i + 8), c = Load64(in + 3 * i + 16);
      const uint64_t low = (a >> 8 & 0xFFFFu) | (a >> 32 & 0xFFFFu) << 16 |
                           (a >> 56 | (b & 0xFFu) << 8) << 32 | (b >> 16 & 0xFFFFu) << 48;
      const uint64_t high = (b >> 40 & 0xFFFFu) | (c & 0xFFFFu) << 16 | (c >> 24 & 0xFFFFu) << 32 |
                            (c >> 48) << 48;
      std::memcpy(out + 2 * i, &low, 8);
      std::memcpy(out + 2 * i + 8, &high, 8);
    }
  }
  for (; i < samples; ++i) {
    out[2 * i] = in[3 * i + 1];
    out[2 * i + 1] = in[3 * i + 2];
  }
}

void Convert32(const uint8_t *in, uint8_t *out, std::size_t samples) {
  for (std::size_t i = 0; i < samples; ++i) {
    out[2 * i] = in[4 * i + 2];
    out[2 * i + 1] = in[4 * i + 3];
  }
}

/* Creation admits only these widths, so every live stream has a routine. */
ConvertToInt16 Int16RoutineFor(uint16_t bits) {
  switch (bits) {
    case 8: return Convert8;
    case 16: return Convert16;
    case 24: return Convert24;
    case 32: return Convert32;
    default: return nullptr;
  }
}

/* A scratch block for `bytes` bytes, or null when the heap (or the address
 * space) cannot hold it. */
void *AllocateScratch(uint64_t bytes) {
  if (bytes > SIZE_MAX) return nullptr;
  return HeapAllocate(std::size_t(bytes));
}

}  // namespace

uint32_t VARDEK_CALL TakStreamProc(HostStream, void *buffer, uint32_t length, void *instance) {
  const TakStream *record = static_cast<const TakStream *>(instance);
  const uint64_t frameSize = OutputFrameSize(record);
  const uint32_t bytesPerSample = record->bits / 8u;
  const uint32_t wanted = uint32_t(length / frameSize); /* at most 2^31 - 1 */

  void *scratch = AllocateScratch(uint64_t(wanted) * record->channels * bytesPerSample);
  if (!scratch) {
    _.ReportError(HOST_ERROR_MEMORY);
    return HOST_STREAM_END;
  }
  int32_t got = 0;
  if (tak_SSD_ReadAudio(record->decoder, scratch, int32_t(wanted), &got) != 0 || got <= 0) {
    HeapRelease(scratch);
    return HOST_STREAM_END;
  }
  if (uint32_t(got) > wanted) got = int32_t(wanted); /* never more than the buffer holds */

  const std::size_t samples = std::size_t(got) * record->channels;
  if (record->flags & kStreamFlagFloat) {
    _.IntToFloat(scratch, static_cast<float *>(buffer), uint32_t(samples), bytesPerSample);
  } else if (ConvertToInt16 convert = Int16RoutineFor(record->bits)) {
    convert(static_cast<const uint8_t *>(scratch), static_cast<uint8_t *>(buffer), samples);
  }
  HeapRelease(scratch);
  return uint32_t(uint64_t(got) * frameSize);
}
