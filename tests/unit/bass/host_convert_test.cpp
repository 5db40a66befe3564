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

namespace {
/* Every width in one call of several samples, so that a conversion that
 * works on groups of samples is checked across group edges and in its tail. */
TEST(HostIntToFloat, LongRunsMatchSampleBySample) {
  for (uint32_t width : {1u, 2u, 3u, 4u}) {
    for (uint32_t count : {1u, 4u, 5u, 8u, 11u}) {
      Bytes samples(size_t(count) * width);
      for (size_t i = 0; i < samples.size(); ++i) samples[i] = uint8_t(i * 73 + 11);
      std::vector<float> run(count + 1, 9.0f);
      _.IntToFloat(samples.data(), run.data(), count, width);
      for (uint32_t n = 0; n < count; ++n) {
        const uint8_t *p = &samples[size_t(n) * width];
        double value;
        if (width == 1) {
          value = (double(p[0]) - 128.0) / 128.0;
        } else {
          int64_t v = 0;
          for (uint32_t b = 0; b < width; ++b) v |= int64_t(p[b]) << (8 * b);
          if (p[width - 1] & 0x80) v -= int64_t(1) << (8 * width);
          value = double(v) / double(int64_t(1) << (8 * width - 1));
        }
        ASSERT_EQ(run[n], float(value)) << "width " << width << " count " << count << " sample " << n;
      }
      EXPECT_EQ(run[count], 9.0f) << "wrote past the sample count";
    }
  }
}
/* Seven 24-bit samples: a group of four read as whole words, then three one
 * by one; every sample lands in its own place with its exact value. */
TEST(HostIntToFloat, TwentyFourBitRunsConvertEverySample) {
  const ConvertCase run[] = {
      {3, {0x00, 0x00, 0x80}, -1.0},
      {3, {0xFF, 0xFF, 0x7F}, 8388607.0 / 8388608.0},
      {3, {0x56, 0x34, 0x12}, double(0x123456) / 8388608.0},
      {3, {0xFF, 0xFF, 0xFF}, -1.0 / 8388608.0},
      {3, {0x01, 0x00, 0x00}, 1.0 / 8388608.0},
      {3, {0x00, 0x00, 0x40}, 0.5},
      {3, {0xCC, 0xED, 0xA9}, double(0xA9EDCC - 0x1000000) / 8388608.0},
  };
  Bytes samples;
  for (const ConvertCase &c : run) samples.insert(samples.end(), c.sample.begin(), c.sample.end());
  float out[8] = {9, 9, 9, 9, 9, 9, 9, 9};
  _.IntToFloat(samples.data(), out, 7, 3);
  for (int i = 0; i < 7; ++i) EXPECT_EQ(out[i], float(run[i].expected)) << "sample " << i;
  EXPECT_EQ(out[7], 9.0f) << "wrote past the sample count";
}
}  // namespace
