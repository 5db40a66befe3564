/* Seeking: every frame boundary and its neighbours, random positions, fresh
 * decoders whose first read is a seek into a frame without stream
 * information, the end and beyond, and the cost of a seek (bytes read stay
 * bounded wherever the target lies in a long file). */
#include <gtest/gtest.h>

#include <random>

#include "decoder_fixture.h"

namespace {

Bytes Slice(const TakImage &image, int64_t first, int64_t frames) {
  const int frameBytes = image.format.channels * image.format.bits / 8;
  const int64_t total = int64_t(image.pcm.size()) / frameBytes;
  first = std::min(first, total);
  const int64_t end = std::min(total, first + frames);
  return Bytes(image.pcm.begin() + first * frameBytes, image.pcm.begin() + end * frameBytes);
}

struct SeekCase {
  const char *name;
  const char *spec;
  int frameSizeType;
  int infoEvery;
};

const SeekCase kSeekCases[] = {
    {"Stereo16Frames512", "seconds=2,channels=2,bits=16", takwrite::kFrame512, 1},
    {"Mono8InfoOnlyFirst", "seconds=2,rate=22050,channels=1,bits=8", takwrite::kFrame1024, 0},
    {"Six24Auto", "seconds=1,rate=48000,channels=6,bits=24", takwrite::kFrameAuto, 3},
};

class SeekShapes : public ::testing::TestWithParam<SeekCase> {
 protected:
  TakImage Image() {
    takwrite::WriteOptions options;
    options.frame_size_type = GetParam().frameSizeType;
    options.info_every = GetParam().infoEvery;
    return MakeTak(GetParam().spec, options);
  }
};

TEST_P(SeekShapes, EveryFrameBoundaryAndItsNeighbours) {
  const TakImage image = Image();
  OpenDecoder open(image.file);
  const int64_t fs = open.Info().frameSamples;
  const int64_t total = open.Info().frames;
  for (int64_t boundary = 0; boundary <= total; boundary += fs) {
    for (int64_t target : {boundary - 1, boundary, boundary + 1}) {
      if (target < 0) continue;
      tak_SSD_Seek(open.decoder, target);
      ASSERT_TRUE(open.Read(fs + 3, 700) == Slice(image, target, fs + 3)) << "seek to " << target;
    }
  }
  EXPECT_TRUE(open.damage.empty());
}

TEST_P(SeekShapes, RandomPositionsBackAndForth) {
  const TakImage image = Image();
  OpenDecoder open(image.file);
  const int64_t total = open.Info().frames;
  std::mt19937 random(7);
  for (int i = 0; i < 60; ++i) {
    const int64_t target = std::uniform_int_distribution<int64_t>(0, total)(random);
    const int64_t length = std::uniform_int_distribution<int64_t>(1, 5000)(random);
    tak_SSD_Seek(open.decoder, target);
    ASSERT_TRUE(open.Read(length, 333) == Slice(image, target, length)) << "seek to " << target;
  }
}

TEST_P(SeekShapes, FirstReadOfAFreshDecoderMayStartAnywhere) {
  const TakImage image = Image();
  const int64_t total = OpenDecoder(image.file).Info().frames;
  for (int64_t target : {total / 2 + 17, total - 1, int64_t(1)}) {
    OpenDecoder open(image.file);
    tak_SSD_Seek(open.decoder, target);
    EXPECT_TRUE(open.Read(2000) == Slice(image, target, 2000)) << "seek to " << target;
  }
}

INSTANTIATE_TEST_SUITE_P(Writer, SeekShapes, ::testing::ValuesIn(kSeekCases),
                         [](const auto &row) { return std::string(row.param.name); });

TEST(Seek, AtOrPastTheEndIsTheEnd) {
  const TakImage image = MakeTak("samples=3000,channels=2,bits=16");
  OpenDecoder open(image.file);
  for (int64_t target : {int64_t(3000), int64_t(3001), int64_t(1) << 40}) {
    tak_SSD_Seek(open.decoder, target);
    EXPECT_TRUE(open.Read(10).empty());
  }
  tak_SSD_Seek(open.decoder, -5);
  EXPECT_TRUE(open.Read(10) == Slice(image, 0, 10));
}

TEST(Seek, CostStaysBoundedWhereverTheTargetLies) {
  takwrite::WriteOptions options;
  options.frame_size_type = takwrite::kFrame512;
  const TakImage image = MakeTak("seconds=60,kind=noise,channels=2,bits=16", options);
  ASSERT_GT(image.file.size(), 10u << 20);
  OpenDecoder open(image.file, false);
  const int64_t total = open.Info().frames;
  std::mt19937 random(3);
  int64_t worst = 0;
  for (int i = 0; i < 40; ++i) {
    const int64_t target = std::uniform_int_distribution<int64_t>(0, total - 1)(random);
    const int64_t before = open.stream.bytesRead;
    tak_SSD_Seek(open.decoder, target);
    ASSERT_TRUE(open.Read(1) == Slice(image, target, 1));
    worst = std::max(worst, open.stream.bytesRead - before);
  }
  /* A scan from the start would read megabytes; a located seek reads a few
   * windows around its probes. */
  EXPECT_LT(worst, 1 << 20);
}

}  // namespace
