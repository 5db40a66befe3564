/* IntToFloat (slot 26): little-endian integer samples to 32-bit floats, full
 * scale to +-1.0. 8-bit samples are unsigned with a bias of 128, wider ones
 * signed. Called by plug-ins for float output and by the channel code for
 * BASS_DATA_FLOAT requests on integer streams. One loop per width, chosen
 * once per call. */
#include <bit>
#include <cstring>

#include "host_internal.h"

namespace {
void From8(const uint8_t *in, float *out, uint32_t count) {
  for (uint32_t i = 0; i < count; ++i) out[i] = float(int(in[i]) - 128) / 128.0f;
}

void From16(const uint8_t *in, float *out, uint32_t count) {
  for (uint32_t i = 0; i < count; ++i, in += 2)
    out[i] = float(int16_t(uint16_t(in[0] | in[1] << 8))) / 32768.0f;
}

/* Sign-extends the low 24 bits of `bits`. */
int32_t Signed24(uint32_t bits) { return int32_t(bits << 8) >> 8; }

/* On little-endian machines four samples go at a time, read as one 64-bit
 * and one 32-bit word; the rest (and big-endian machines) byte by byte.
 * Scaling by 2^-23 is exact, as the division was. */
void From24(const uint8_t *in, float *out, uint32_t count) {
  constexpr float kScale = 1.0f / 8388608.0f;
  uint32_t i = 0;
  if constexpr (std::endian::native == std::endian::little) {
    for (; i + 4 <= count; i += 4, in += 12) {
      uint64_t a;
      uint32_t b;
      std::memcpy(&a, in, 8);
      std::memcpy(&b, in + 8, 4);
      out[i] = float(Signed24(uint32_t(a))) * kScale;
      out[i + 1] = float(Signed24(uint32_t(a >> 24))) * kScale;
      out[i + 2] = float(Signed24(uint32_t(a >> 48) | b << 16)) * kScale;
      out[i + 3] = float(int32_t(b) >> 8) * kScale;
    }
  }
  for (; i < count; ++i, in += 3)
    out[i] = float(Signed24(uint32_t(in[0]) | uint32_t(in[1]) << 8 | uint32_t(in[2]) << 16)) * kScale;
}

void From32(const uint8_t *in, float *out, uint32_t count) {
  for (uint32_t i = 0; i < count; ++i, in += 4) {
    uint32_t u = uint32_t(in[0]) | uint32_t(in[1]) << 8 | uint32_t(in[2]) << 16 |
                 uint32_t(in[3]) << 24;
    out[i] = float(double(int32_t(u)) / 2147483648.0);
  }
}
}  // namespace

void VARDEK_CALL HostIntToFloat(const void *samples, float *out, uint32_t count,
                                uint32_t bytesPerSample) {
  const uint8_t *in = static_cast<const uint8_t *>(samples);
  switch (bytesPerSample) {
    case 1: From8(in, out, count); break;
    case 2: From16(in, out, count); break;
    case 3: From24(in, out, count); break;
    case 4: From32(in, out, count); break;
    default: std::memset(out, 0, size_t(count) * sizeof(float)); break;
  }
}
