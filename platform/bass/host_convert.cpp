/* IntToFloat (slot 26): little-endian integer samples to 32-bit floats, full
 * scale to +-1.0. 8-bit samples are unsigned with a bias of 128, wider ones
 * signed. Called by plug-ins for float output and by the channel code for
 * BASS_DATA_FLOAT requests on integer streams. One loop per width, chosen
 * once per call. */
#include <bit>
#include <cstring>

#include "host_internal.h"

#ifdef __SSE2__
#include <emmintrin.h>
#endif

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

#ifdef __SSE2__
/* Four samples per step with SSE2: sample k's three bytes moved up to bytes
 * 4k+1..4k+3 of a 16-byte register (one byte shift and mask per sample), then
 * shifted down with sign, converted and scaled four at a time. Each step
 * loads 16 bytes, so it stops while at least 18 remain. */
uint32_t From24Vector(const uint8_t *in, float *out, uint32_t count) {
  const __m128i lane0 = _mm_set_epi32(0, 0, 0, int32_t(0xFFFFFF00u));
  const __m128i lane1 = _mm_slli_si128(lane0, 4), lane2 = _mm_slli_si128(lane0, 8),
                lane3 = _mm_slli_si128(lane0, 12);
  const __m128 scale = _mm_set1_ps(1.0f / 8388608.0f);
  uint32_t i = 0;
  for (; i + 6 <= count; i += 4, in += 12) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i *>(in));
    const __m128i placed = _mm_or_si128(
        _mm_or_si128(_mm_and_si128(_mm_slli_si128(v, 1), lane0), _mm_and_si128(_mm_slli_si128(v, 2), lane1)),
        _mm_or_si128(_mm_and_si128(_mm_slli_si128(v, 3), lane2), _mm_and_si128(_mm_slli_si128(v, 4), lane3)));
    _mm_storeu_ps(out + i, _mm_mul_ps(_mm_cvtepi32_ps(_mm_srai_epi32(placed, 8)), scale));
  }
  return i;
}
#endif

/* With SSE2 most samples go four at a time in vector registers; otherwise, on
 * little-endian machines, four at a time read as one 64-bit and one 32-bit
 * word; the rest (and big-endian machines) byte by byte. Scaling by 2^-23 is
 * exact, as the division was. */
void From24(const uint8_t *in, float *out, uint32_t count) {
  constexpr float kScale = 1.0f / 8388608.0f;
  uint32_t i = 0;
#ifdef __SSE2__
  i = From24Vector(in, out, count);
  in += size_t(i) * 3;
#endif
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
