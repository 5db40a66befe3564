/* The bit-level pieces checked against values worked out by hand: the CRC-24
 * check value, the frame-size table, and a frame header built byte by byte. */
#include <gtest/gtest.h>

#include <cstring>

#include "tak_bits.h"
#include "tak_format.h"

namespace {

TEST(Crc24, MatchesTheOpenPgpCheckValue) {
  const char *check = "123456789";
  EXPECT_EQ(Crc24(reinterpret_cast<const uint8_t *>(check), 9), 0x21CF02u);
}

TEST(FrameSamples, FollowsTheDurationAndCountTable) {
  EXPECT_EQ(FrameSamplesFor(44100, 0), 4134);  /* 44100 * 3 / 32 */
  EXPECT_EQ(FrameSamplesFor(48000, 3), 12000); /* 250 ms */
  EXPECT_EQ(FrameSamplesFor(44100, 4), 4096);
  EXPECT_EQ(FrameSamplesFor(44100, 6), -1);    /* 16384 > 250 ms at 44.1 kHz */
  EXPECT_EQ(FrameSamplesFor(96000, 6), 16384);
  EXPECT_EQ(FrameSamplesFor(44100, 10), -1);
}

/* Frame 5, not last, no stream information: FF A0, then flags 0 and number 5
 * in the next 24 bits (least significant first), then the CRC-24 of those
 * five bytes, low byte first. */
TEST(FrameHeader, HandBuiltHeaderParses) {
  uint8_t header[8] = {0xFF, 0xA0, 5 << 3, 0, 0};
  const uint32_t crc = Crc24(header, 5);
  header[5] = uint8_t(crc), header[6] = uint8_t(crc >> 8), header[7] = uint8_t(crc >> 16);
  FrameHeader parsed{};
  ASSERT_TRUE(ParseFrameHeader(header, 8, &parsed));
  EXPECT_EQ(parsed.number, 5);
  EXPECT_EQ(parsed.flags, 0);
  EXPECT_EQ(parsed.size, 8);
  header[6] ^= 1;
  EXPECT_FALSE(ParseFrameHeader(header, 8, &parsed));
  header[6] ^= 1;
  EXPECT_FALSE(ParseFrameHeader(header, 7, &parsed));
  header[2] |= 4; /* metadata flag: not a frame we decode */
  EXPECT_FALSE(ParseFrameHeader(header, 8, &parsed));
}

TEST(BitReader, ReadsLeastSignificantBitFirst) {
  const uint8_t bytes[] = {0xB4, 0x01};
  BitReader reader = BitReaderOver(bytes, 2);
  EXPECT_EQ(ReadBits(&reader, 3), 4u);    /* 100 */
  EXPECT_EQ(ReadBits(&reader, 6), 0x36u); /* 10110 from 0xB4, 1 from 0x01 */
  EXPECT_FALSE(reader.overrun);
  ReadBits(&reader, 8);
  EXPECT_TRUE(reader.overrun);
}

}  // namespace
