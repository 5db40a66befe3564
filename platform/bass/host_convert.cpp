/* IntToFloat (slot 26): little-endian integer samples to 32-bit floats, full
 * scale to +-1.0. 8-bit samples are unsigned with a bias of 128, wider ones
 * signed. Called by plug-ins for float output and by the channel code for
 * BASS_DATA_FLOAT requests on integer streams. One loop per width, chosen
 * once per call. */
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

void From24(const uint8_t *in, float *out, uint32_t count) {
  for (uint32_t i = 0; i < count; ++i, in += 3) {
    int32_t v = int32_t(uint32_t(in[0]) << 8 | uint32_t(in[1]) << 16 | uint32_t(in[2]) << 24) >> 8;
    out[i] = float(v) / 8388608.0f;
  }
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
