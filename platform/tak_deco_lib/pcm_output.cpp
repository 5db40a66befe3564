/* Planar to interleaved PCM (see pcm_output.h). One routine per depth, chosen
 * once per call. */
#include "pcm_output.h"

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

}  // namespace

void InterleavePlanes(const uint8_t *const *planes, int channels, int samples, int bits,
                      uint8_t *out) {
  if (bits == 8)
    Interleave8(planes, channels, samples, out);
  else if (bits == 16)
    Interleave16(planes, channels, samples, out);
  else
    Interleave24(planes, channels, samples, out);
}

void WriteSilence(int channels, int samples, int bits, uint8_t *out) {
  std::memset(out, bits == 8 ? 0x80 : 0, size_t(int64_t(samples) * channels * (bits / 8)));
}
