/* IntToFloat (slot 26): one row per edge of each sample width, with the
 * expected value written as the exact fraction of full scale. */
#include <gtest/gtest.h>

#include "host_test_support.h"

namespace {
struct ConvertCase {
  uint32_t width;
  Bytes sample;
  double expected;
};

const ConvertCase kCases[] = {
    {1, {0x00}, -1.0},
    {1, {0x80}, 0.0},
    {1, {0xFF}, 127.0 / 128.0},
    {1, {0x7F}, -1.0 / 128.0},
    {2, {0x00, 0x80}, -1.0},
    {2, {0x00, 0x00}, 0.0},
    {2, {0xFF, 0x7F}, 32767.0 / 32768.0},
    {2, {0x01, 0x00}, 1.0 / 32768.0},
    {2, {0xFF, 0xFF}, -1.0 / 32768.0},
    {3, {0x00, 0x00, 0x80}, -1.0},
    {3, {0xFF, 0xFF, 0x7F}, 8388607.0 / 8388608.0},
    {3, {0x56, 0x34, 0x12}, double(0x123456) / 8388608.0},
    {3, {0xFF, 0xFF, 0xFF}, -1.0 / 8388608.0},
    {4, {0x00, 0x00, 0x00, 0x80}, -1.0},
    {4, {0x00, 0x00, 0x00, 0x40}, 0.5},
    {4, {0xFF, 0xFF, 0xFF, 0x7F}, 2147483647.0 / 2147483648.0},
    {4, {0xFF, 0xFF, 0xFF, 0xFF}, -1.0 / 2147483648.0},
};

TEST(HostIntToFloat, EachWidthMapsFullScaleToOne) {
  for (const ConvertCase &c : kCases) {
    float out = 99.0f;
    _.IntToFloat(c.sample.data(), &out, 1, c.width);
    EXPECT_EQ(out, float(c.expected)) << "width " << c.width << " first byte " << int(c.sample[0]);
  }
}

TEST(HostIntToFloat, ConvertsEverySampleInOrder) {
  const Bytes samples = {0x00, 0x80, 0xFF, 0x7F, 0x00, 0x40};
  float out[4] = {9, 9, 9, 9};
  _.IntToFloat(samples.data(), out, 3, 2);
  EXPECT_EQ(out[0], -1.0f);
  EXPECT_EQ(out[1], 32767.0f / 32768.0f);
  EXPECT_EQ(out[2], 0.5f);
  EXPECT_EQ(out[3], 9.0f) << "wrote past the sample count";
}
}  // namespace
