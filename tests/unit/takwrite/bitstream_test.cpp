/* The bit-level pieces of the writer against independent references: the
 * LSB-first bit order, CRC-24 against its published check value and against
 * libavutil's CRC-24, MD5 against RFC 1321 vectors and libavutil, the
 * frame-size table, the exact bytes of a one-sample file's metadata and
 * frame, the last-frame block's offset and size, and the coding counters
 * that say which modes were written. */
#include <gtest/gtest.h>

#include <cstring>

extern "C" {
#include <libavutil/crc.h>
#include <libavutil/md5.h>
}

#include "tak_internal.h"

namespace {

using takwrite::BitWriter;

std::vector<uint8_t> bytes_of(const char *text) {
  return std::vector<uint8_t>(text, text + std::strlen(text));
}

/* The CRC FFmpeg computes over `size` bytes, as FFmpeg compares it with the
 * three stored bytes read big-endian. */
uint32_t ffmpeg_crc(const uint8_t *data, size_t size) {
  return av_crc(av_crc_get_table(AV_CRC_24_IEEE), 0xCE04B7U, data, size);
}
uint32_t stored_crc(const uint8_t *p) { return static_cast<uint32_t>(p[0]) << 16 | p[1] << 8 | p[2]; }

TEST(TakwriteBitWriter, FieldsGoInLeastSignificantBitFirst) {
  BitWriter w;
  takwrite::put_bits(w, 0b101, 3);
  takwrite::put_bits(w, 0xFF, 8);
  takwrite::put_signed(w, -1, 2);
  EXPECT_EQ(takwrite::bit_count(w), 13u);
  takwrite::align_to_byte(w);
  EXPECT_EQ(w.bytes, (std::vector<uint8_t>{0xFD, 0x1F}));
}

TEST(TakwriteBitWriter, SixtyFourBitFieldsSplitLowWordFirst) {
  BitWriter w;
  takwrite::put_bits64(w, 0x512345678ull, 35);
  takwrite::align_to_byte(w);
  EXPECT_EQ(w.bytes, (std::vector<uint8_t>{0x78, 0x56, 0x34, 0x12, 0x05}));
}

TEST(TakwriteCrc24, MatchesThePublishedCheckValue) {
  std::vector<uint8_t> data = bytes_of("123456789");
  EXPECT_EQ(takwrite::crc24(data.data(), data.size()), 0x21CF02u);
  takwrite::append_crc24(data, 0);
  EXPECT_EQ(std::vector<uint8_t>(data.end() - 3, data.end()), (std::vector<uint8_t>{0x02, 0xCF, 0x21}));
}

TEST(TakwriteCrc24, StoredBytesAreWhatFfmpegChecks) {
  for (size_t size : {0u, 1u, 7u, 64u, 1000u}) {
    std::vector<uint8_t> data(size);
    for (size_t i = 0; i < size; ++i)
      data[i] = static_cast<uint8_t>(i * 37 + 11);
    takwrite::append_crc24(data, 0);
    EXPECT_EQ(stored_crc(data.data() + size), ffmpeg_crc(data.data(), size)) << size;
  }
}

TEST(TakwriteMd5, MatchesRfc1321Vectors) {
  struct Case {
    const char *text;
    const char *hex;
  } cases[] = {{"", "d41d8cd98f00b204e9800998ecf8427e"},
               {"abc", "900150983cd24fb0d6963f7d28e17f72"},
               {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"}};
  for (const Case &c : cases) {
    std::vector<uint8_t> data = bytes_of(c.text);
    std::array<uint8_t, 16> d = takwrite::md5(data.data(), data.size());
    char hex[33];
    for (int i = 0; i < 16; ++i)
      std::snprintf(hex + 2 * i, 3, "%02x", d[i]);
    EXPECT_STREQ(hex, c.hex) << c.text;
  }
}

TEST(TakwriteMd5, MatchesLibavutilAcrossBlockBoundaries) {
  std::vector<uint8_t> data(200);
  for (size_t i = 0; i < data.size(); ++i)
    data[i] = static_cast<uint8_t>(i * 7 + 3);
  for (size_t size = 0; size <= data.size(); ++size) {
    uint8_t expected[16];
    av_md5_sum(expected, data.data(), size);
    std::array<uint8_t, 16> d = takwrite::md5(data.data(), size);
    EXPECT_EQ(std::memcmp(d.data(), expected, 16), 0) << size;
  }
}

TEST(TakwriteFrameSize, FollowsTheTypeAndRateLimits) {
  struct Case {
    int type;
    uint32_t rate;
    uint32_t samples;
  } cases[] = {
      {takwrite::kFrame94ms, 44100, 4134},  {takwrite::kFrame94ms, 6000, 562},
      {takwrite::kFrame250ms, 8000, 2000},  {takwrite::kFrame94ms, 192000, 0},
      {takwrite::kFrameAuto, 192000, 4096}, {takwrite::kFrameAuto, 44100, 4134},
      {takwrite::kFrame16384, 96000, 16384}, {takwrite::kFrame16384, 48000, 0},
      {takwrite::kFrame512, 8000, 512},     {takwrite::kFrame2048, 8000, 0},
      {takwrite::kFrame4096, 8000, 0},      {10, 44100, 0},
  };
  for (const Case &c : cases)
    EXPECT_EQ(takwrite::frame_samples_for(c.type, c.rate), c.samples) << c.type << " @ " << c.rate;
}

std::vector<uint8_t> encode(const takwrite::PcmFormat &f, const std::vector<uint8_t> &pcm,
                            const takwrite::WriteOptions &o, takwrite::EncodeStats *stats = nullptr) {
  std::vector<uint8_t> out;
  std::string error;
  EXPECT_TRUE(takwrite::encode_tak(f, pcm.data(), pcm.size(), o, out, error, stats)) << error;
  return out;
}

TEST(TakwriteFileImage, OneSampleFileHasTheExpectedBytes) {
  /* 16-bit stereo, 44100 Hz, one sample: L = 0x1234, R = -2. */
  std::vector<uint8_t> pcm{0x34, 0x12, 0xFE, 0xFF};
  takwrite::WriteOptions o;
  o.md5_block = false;
  std::vector<uint8_t> file = encode({44100, 2, 16}, pcm, o);

  const std::vector<uint8_t> info{0x02, 0x40, 0x00, 0x00, 0x00, 0x00, 0x40, 0x4D, 0x09, 0x0A};
  std::vector<uint8_t> expected{'t', 'B', 'a', 'K', 0x01, 0x0D, 0x00, 0x00};
  expected.insert(expected.end(), info.begin(), info.end());
  ASSERT_GE(file.size(), 18u + 3);
  EXPECT_EQ(std::vector<uint8_t>(file.begin(), file.begin() + 18), expected);
  EXPECT_EQ(stored_crc(&file[18]), ffmpeg_crc(&file[8], 10));

  /* Last-frame block: offset 0, size 18 + 3 + 4 + 3. */
  const std::vector<uint8_t> last{0x07, 0x0B, 0x00, 0x00, 0, 0, 0, 0, 0, 28, 0, 0};
  EXPECT_EQ(std::vector<uint8_t>(file.begin() + 21, file.begin() + 33), last);
  EXPECT_EQ(stored_crc(&file[33]), ffmpeg_crc(&file[25], 8));
  EXPECT_EQ(std::vector<uint8_t>(file.begin() + 36, file.begin() + 40), (std::vector<uint8_t>{0, 0, 0, 0}));

  /* Frame: sync, flags last|info, frame 0, one sample, stream info, pad. */
  std::vector<uint8_t> header{0xFF, 0xA0, 0x03, 0x00, 0x00, 0x00, 0x00};
  header.insert(header.end(), info.begin(), info.end());
  header.push_back(0x00);
  ASSERT_EQ(file.size(), 40u + 28u);
  EXPECT_EQ(std::vector<uint8_t>(file.begin() + 40, file.begin() + 58), header);
  EXPECT_EQ(stored_crc(&file[58]), ffmpeg_crc(&file[40], 18));
  EXPECT_EQ(std::vector<uint8_t>(file.begin() + 61, file.begin() + 65), pcm);
  EXPECT_EQ(stored_crc(&file[65]), ffmpeg_crc(&file[61], 4));
}

TEST(TakwriteFileImage, LastFrameBlockPointsAtTheLastFrame) {
  takwrite::SynthSpec spec;
  spec.samples = 3 * 512 + 100;
  std::vector<uint8_t> pcm = takwrite::synthesize(spec);
  takwrite::WriteOptions o;
  o.frame_size_type = takwrite::kFrame512;
  o.tags = {takwrite::text_item("Title", "x")};
  std::vector<uint8_t> file = encode(spec.format, pcm, o);
  std::vector<uint8_t> tags = takwrite::build_tags(o, 0);

  size_t at = 4;
  uint64_t offset = 0, size = 0;
  while (file[at] != 0) {
    size_t block = file[at + 1] | file[at + 2] << 8 | file[at + 3] << 16;
    if (file[at] == 7) {
      for (int i = 4; i >= 0; --i)
        offset = offset << 8 | file[at + 4 + i];
      size = file[at + 9] | file[at + 10] << 8 | file[at + 11] << 16;
    }
    at += 4 + block;
  }
  size_t frames_start = at + 4;
  ASSERT_GT(size, 0u);
  EXPECT_EQ(frames_start + offset + size, file.size() - tags.size());
  EXPECT_EQ(file[frames_start + offset], 0xFF);
  EXPECT_EQ(file[frames_start + offset + 1], 0xA0);
  EXPECT_EQ(file[frames_start + offset + 2] & 1, 1) << "last-frame flag";
  EXPECT_EQ((file[frames_start + offset + 2] >> 3) | file[frames_start + offset + 3] << 5, 3)
      << "frame number";
  EXPECT_EQ(file[frames_start + offset + 5] | (file[frames_start + offset + 6] & 0x3F) << 8, 99)
      << "last frame's sample count minus one";
}

TEST(TakwriteCoding, StereoMusicUsesEveryCodingTool) {
  takwrite::SynthSpec spec;
  spec.samples = 44100 * 4;
  std::vector<uint8_t> pcm = takwrite::synthesize(spec);
  takwrite::EncodeStats s;
  encode(spec.format, pcm, takwrite::WriteOptions{}, &s);
  EXPECT_GT(s.predictor_uses[2] + s.predictor_uses[3], 0u);
  EXPECT_GT(s.stereo_mode_uses[1] + s.stereo_mode_uses[2] + s.stereo_mode_uses[3], 0u);
  EXPECT_GT(s.partitioned_blocks, 0u);
  EXPECT_EQ(s.raw_frames, 0u);
  EXPECT_EQ(s.predictor_uses[0] + s.predictor_uses[1] + s.predictor_uses[2] + s.predictor_uses[3],
            2 * s.frames);
}

TEST(TakwriteCoding, SwitchesRestrictTheTools) {
  takwrite::SynthSpec spec;
  spec.samples = 44100;
  std::vector<uint8_t> pcm = takwrite::synthesize(spec);
  takwrite::WriteOptions o;
  o.max_predictor = 1;
  o.stereo_decorrelation = false;
  o.partitioned_residuals = false;
  takwrite::EncodeStats s;
  encode(spec.format, pcm, o, &s);
  EXPECT_EQ(s.predictor_uses[2] + s.predictor_uses[3], 0u);
  EXPECT_EQ(s.stereo_mode_uses[0], s.frames);
  EXPECT_EQ(s.partitioned_blocks, 0u);
}

TEST(TakwriteCoding, SineChoosesTheHighestUsefulPredictor) {
  takwrite::SynthSpec spec;
  spec.kind = "sine";
  spec.format.channels = 1;
  spec.samples = 8192;
  std::vector<uint8_t> pcm = takwrite::synthesize(spec);
  for (int order = 0; order <= 3; ++order) {
    takwrite::WriteOptions o;
    o.max_predictor = order;
    takwrite::EncodeStats s;
    encode(spec.format, pcm, o, &s);
    EXPECT_EQ(s.predictor_uses[order], s.frames) << order;
  }
}

TEST(TakwriteCoding, FramesUnderSixteenSamplesAreRaw) {
  takwrite::SynthSpec spec;
  spec.samples = 512 + 15;
  std::vector<uint8_t> pcm = takwrite::synthesize(spec);
  takwrite::WriteOptions o;
  o.frame_size_type = takwrite::kFrame512;
  takwrite::EncodeStats s;
  encode(spec.format, pcm, o, &s);
  EXPECT_EQ(s.frames, 2u);
  EXPECT_EQ(s.raw_frames, 1u);
}

TEST(TakwriteEncode, RefusesWhatTheFormatCannotHold) {
  struct Case {
    takwrite::PcmFormat format;
    size_t bytes;
    int frame_type;
  } cases[] = {
      {{44100, 7, 16}, 14, takwrite::kFrameAuto},   {{44100, 0, 16}, 0, takwrite::kFrameAuto},
      {{44100, 2, 32}, 8, takwrite::kFrameAuto},    {{5999, 2, 16}, 4, takwrite::kFrameAuto},
      {{268144, 2, 16}, 4, takwrite::kFrameAuto},   {{44100, 2, 16}, 3, takwrite::kFrameAuto},
      {{8000, 1, 16}, 2, takwrite::kFrame4096},
  };
  for (const Case &c : cases) {
    std::vector<uint8_t> pcm(c.bytes), out;
    std::string error;
    takwrite::WriteOptions o;
    o.frame_size_type = c.frame_type;
    EXPECT_FALSE(takwrite::encode_tak(c.format, pcm.data(), pcm.size(), o, out, error));
    EXPECT_NE(error, "");
  }
}

} // namespace
