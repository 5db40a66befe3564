/* Planar to interleaved PCM (see pcm_output.h). One routine per depth, chosen
 * once per call. */
#include "pcm_output.h"

#include <bit>
#include <cstring>

namespace {

void Interleave8(const uint8_t *const *planes, int channels, int samples, uint8_t *out) {
  for (int c = 0; c < channels; ++c) {
    const uint8_t *in = planes[c];
    for (int i = 0; i < samples; ++i) out[i * channels + c] = in[i];
  }
}

void Interleave16(const uint8_t *const *planes, int channels, int samples, uint8_t *out) {
  for (int c = 0; c < channels; ++c) {
    const auto *in = reinterpret_cast<const int16_t *>(planes[c]);
    for (int i = 0; i < samples; ++i) {
      const auto v = uint16_t(in[i]);
      uint8_t *o = out + (int64_t(i) * channels + c) * 2;
      o[0] = uint8_t(v);
      o[1] = uint8_t(v >> 8);
    }
  }
}

void Interleave24(const uint8_t *const *planes, int channels, int samples, uint8_t *out) {
  for (int c = 0; c < channels; ++c) {
    const auto *in = reinterpret_cast<const int32_t *>(planes[c]);
    for (int i = 0; i < samples; ++i) {
      const auto v = uint32_t(in[i]) >> 8;
      uint8_t *o = out + (int64_t(i) * channels + c) * 3;
      o[0] = uint8_t(v);
      o[1] = uint8_t(v >> 8);
      o[2] = uint8_t(v >> 16);
    }
  }
}

/* Stereo, the common case, on little-endian machines: one pass in output
 * order, whole words stored instead of single bytes. */
void Stereo16(const uint8_t *const *planes, int samples, uint8_t *out) {
  const auto *left = reinterpret_cast<const int16_t *>(planes[0]);
  const auto *right = reinterpret_cast<const int16_t *>(planes[1]);
  for (int i = 0; i < samples; ++i) {
    const uint32_t frame = uint32_t(uint16_t(left[i])) | uint32_t(uint16_t(right[i])) << 16;
    std::memcpy(out + int64_t(i) * 4, &frame, 4);
  }
}

/* Two stereo frames (12 bytes) per step as one 64-bit and one 32-bit word. */
void Stereo24(const uint8_t *const *planes, int samples, uint8_t *out) {
  const auto *left = reinterpret_cast<const int32_t *>(planes[0]);
  const auto *right = reinterpret_cast<const int32_t *>(planes[1]);
  auto frame = [&](int i) {
    return uint64_t(uint32_t(left[i]) >> 8) | uint64_t(uint32_t(right[i]) >> 8) << 24;
  };
  int i = 0;
  for (; i + 2 <= samples; i += 2, out += 12) {
    const uint64_t first = frame(i), second = frame(i + 1);
    const uint64_t low = first | second << 48;
    const auto high = uint32_t(second >> 16);
    std::memcpy(out, &low, 8);
    std::memcpy(out + 8, &high, 4);
  }
  if (i < samples) {
    const uint64_t last = frame(i);
    std::memcpy(out, &last, 6);
  }
}

}  // namespace

void InterleavePlanes(const uint8_t *const *planes, int channels, int samples, int bits,
                      uint8_t *out) {
  const bool stereo = channels == 2 && std::endian::native == std::endian::little;
  if (bits == 8)
    Interleave8(planes, channels, samples, out);
  else if (bits == 16 && stereo)
    Stereo16(planes, samples, out);
  else if (bits == 16)
    Interleave16(planes, channels, samples, out);
  else if (stereo)
    Stereo24(planes, samples, out);
  else
    Interleave24(planes, channels, samples, out);
}

void WriteSilence(int channels, int samples, int bits, uint8_t *out) {
  std::memset(out, bits == 8 ? 0x80 : 0, size_t(int64_t(samples) * channels * (bits / 8)));
}
