/* Builds the WAV header (see wav_header.h). Plain PCM and float use the
 * short format chunk (float with its cbSize of 0); more than two channels use
 * the extensible format with the sub-format GUID of PCM or float. */
#include "wav_header.h"

#include <algorithm>

namespace {
constexpr uint16_t kFormatPcm = 1, kFormatFloat = 3, kFormatExtensible = 0xFFFE;

void Put16(std::vector<uint8_t> &out, uint32_t v) {
  out.push_back(uint8_t(v)), out.push_back(uint8_t(v >> 8));
}
void Put32(std::vector<uint8_t> &out, uint32_t v) { Put16(out, v), Put16(out, v >> 16); }
void PutTag(std::vector<uint8_t> &out, const char *tag) {
  for (int i = 0; i < 4; ++i) out.push_back(uint8_t(tag[i]));
}

/* The tail of KSDATAFORMAT_SUBTYPE_PCM / _IEEE_FLOAT after the format code. */
constexpr uint8_t kGuidTail[14] = {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80,
                                   0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};
}  // namespace

uint32_t WavChannelMask(uint32_t channels) {
  static const uint32_t kMasks[] = {0, 0x4, 0x3, 0x7, 0x33, 0x37, 0x3F, 0x13F, 0x63F};
  if (channels < std::size(kMasks)) return kMasks[channels];
  return channels >= 18 ? 0x3FFFF : (1u << channels) - 1;
}

std::vector<uint8_t> WavHeader(uint32_t rate, uint32_t channels, bool floatSamples,
                               uint64_t dataBytes) {
  uint32_t bits = floatSamples ? 32 : 16;
  uint16_t code = floatSamples ? kFormatFloat : kFormatPcm;
  bool extensible = channels > 2;
  uint32_t fmtSize = extensible ? 40 : (floatSamples ? 18 : 16);
  uint32_t data = uint32_t(std::min<uint64_t>(dataBytes, 0xFFFFFFFFu - 4 - 8 - fmtSize - 8));
  std::vector<uint8_t> out;
  out.reserve(68);
  PutTag(out, "RIFF");
  Put32(out, 4 + 8 + fmtSize + 8 + data);
  PutTag(out, "WAVE");
  PutTag(out, "fmt ");
  Put32(out, fmtSize);
  Put16(out, extensible ? kFormatExtensible : code);
  Put16(out, channels);
  Put32(out, rate);
  Put32(out, rate * channels * bits / 8);
  Put16(out, channels * bits / 8);
  Put16(out, bits);
  if (fmtSize > 16) Put16(out, extensible ? 22 : 0);
  if (extensible) {
    Put16(out, bits);
    Put32(out, WavChannelMask(channels));
    Put16(out, code);
    for (uint8_t byte : kGuidTail) out.push_back(byte);
  }
  PutTag(out, "data");
  Put32(out, data);
  return out;
}
