/* Decoding whole files: every writer shape gives exactly the writer's input
 * PCM, ffmpeg's decode and the MD5 the file stores; the stream information
 * and total length are exact; the end of the stream stays the end. */
#include <gtest/gtest.h>

extern "C" {
#include <libavutil/md5.h>
}

#include "decoder_fixture.h"

namespace {

struct Shape {
  const char *name;
  const char *spec;
  int frameSizeType;
  int infoEvery;
};

const Shape kShapes[] = {
    {"Stereo16", "seconds=3,rate=44100,channels=2,bits=16", takwrite::kFrameAuto, 1},
    {"Mono8", "seconds=2,rate=22050,channels=1,bits=8", takwrite::kFrameAuto, 1},
    {"Stereo24At96k", "seconds=1,rate=96000,channels=2,bits=24", takwrite::kFrameAuto, 1},
    {"Three16At48k", "seconds=1,rate=48000,channels=3,bits=16", takwrite::kFrameAuto, 1},
    {"Six24", "seconds=1,rate=48000,channels=6,bits=24", takwrite::kFrameAuto, 1},
    {"Six8At8k", "seconds=1,rate=8000,channels=6,bits=8", takwrite::kFrameAuto, 1},
    {"OneSample", "samples=1,channels=2,bits=16", takwrite::kFrameAuto, 1},
    {"TenSamples", "samples=10,rate=8000,channels=1,bits=16", takwrite::kFrameAuto, 1},
    {"Noise", "seconds=1,kind=noise,channels=2,bits=16", takwrite::kFrameAuto, 1},
    {"Extremes24", "seconds=1,kind=extremes,channels=2,bits=24", takwrite::kFrameAuto, 1},
    {"Silence8", "seconds=1,kind=silence,channels=2,bits=8", takwrite::kFrameAuto, 1},
    {"Frames512", "seconds=1,channels=2,bits=16", takwrite::kFrame512, 1},
    {"Frames16384", "seconds=2,rate=96000,channels=2,bits=16", takwrite::kFrame16384, 1},
    {"Frames250ms", "seconds=2,rate=32000,channels=1,bits=24", takwrite::kFrame250ms, 1},
    {"InfoOnlyFirst", "seconds=2,channels=2,bits=16", takwrite::kFrameAuto, 0},
    {"Long", "seconds=40,rate=44100,channels=2,bits=16", takwrite::kFrameAuto, 4},
};

class DecodeShapes : public ::testing::TestWithParam<Shape> {};

/* The MD5 block (type 6) of a TAK image, found by walking the blocks by hand. */
Bytes StoredMd5(const Bytes &file) {
  size_t at = 4;
  while (at + 4 <= file.size() && (file[at] & 0x7F) != 0) {
    const size_t size = file[at + 1] | file[at + 2] << 8 | file[at + 3] << 16;
    if ((file[at] & 0x7F) == 6 && size == 19) return Bytes(file.begin() + at + 4, file.begin() + at + 20);
    at += 4 + size;
  }
  return {};
}

Bytes Md5Of(const Bytes &pcm) {
  Bytes digest(16);
  av_md5_sum(digest.data(), pcm.data(), int(pcm.size()));
  return digest;
}

TEST_P(DecodeShapes, MatchesWriterInputFfmpegAndStoredMd5) {
  takwrite::WriteOptions options;
  options.frame_size_type = GetParam().frameSizeType;
  options.info_every = GetParam().infoEvery;
  const TakImage image = MakeTak(GetParam().spec, options);
  OpenDecoder open(image.file);
  ASSERT_EQ(tak_SSD_Valid(open.decoder), 1);
  const TakStreamInfo info = open.Info();
  EXPECT_EQ(info.sampleRate, int32_t(image.format.sample_rate));
  EXPECT_EQ(info.bitsPerSample, image.format.bits);
  EXPECT_EQ(info.channels, image.format.channels);
  EXPECT_EQ(info.frameSamples, int32_t(image.stats.frame_samples));
  EXPECT_EQ(info.frames, int64_t(image.stats.samples));

  const Bytes decoded = open.ReadAll();
  EXPECT_TRUE(decoded == image.pcm) << "decoded " << decoded.size() << " bytes, wrote " << image.pcm.size();
  EXPECT_TRUE(open.damage.empty());
  /* Reads of several frames at once take whole frames straight into the
   * caller's buffer and only the partial ones through the cache. */
  OpenDecoder wide(image.file);
  EXPECT_TRUE(wide.ReadAll(int32_t(3 * image.stats.frame_samples + 5)) == image.pcm);
  TempFile file(image.file);
  EXPECT_TRUE(decoded == FfmpegDecode(file.path, image.format.bits));
  EXPECT_EQ(Md5Of(decoded), StoredMd5(image.file));
}

INSTANTIATE_TEST_SUITE_P(Writer, DecodeShapes, ::testing::ValuesIn(kShapes),
                         [](const auto &row) { return std::string(row.param.name); });

TEST(Decode, EndStaysEndUntilASeek) {
  const TakImage image = MakeTak("samples=5000,channels=2,bits=16");
  OpenDecoder open(image.file);
  EXPECT_EQ(open.ReadAll().size(), image.pcm.size());
  uint8_t buffer[64];
  for (int call = 0; call < 3; ++call) {
    int32_t got = -1;
    EXPECT_EQ(tak_SSD_ReadAudio(open.decoder, buffer, 16, &got), 0);
    EXPECT_EQ(got, 0);
  }
  tak_SSD_Seek(open.decoder, 4990);
  EXPECT_EQ(open.ReadAll().size(), 10u * 4);
}

TEST(Decode, ReadsExactlyWhatIsAskedUntilTheEnd) {
  const TakImage image = MakeTak("samples=9000,channels=1,bits=16");
  OpenDecoder open(image.file);
  uint8_t buffer[2 * 7000];
  int32_t got = 0;
  EXPECT_EQ(tak_SSD_ReadAudio(open.decoder, buffer, 7000, &got), 0);
  EXPECT_EQ(got, 7000);
  EXPECT_EQ(tak_SSD_ReadAudio(open.decoder, buffer, 7000, &got), 0);
  EXPECT_EQ(got, 2000);
}

TEST(Decode, TagsAndId3v1AfterTheFramesChangeNothing) {
  takwrite::WriteOptions options;
  options.tags = {takwrite::text_item("Title", "x")};
  options.ape_header = true;
  options.id3v1 = true;
  options.last_frame_block = false;
  const TakImage image = MakeTak("seconds=1,channels=2,bits=16", options);
  OpenDecoder open(image.file);
  EXPECT_EQ(open.Info().frames, int64_t(image.stats.samples));
  EXPECT_TRUE(open.ReadAll() == image.pcm);
  EXPECT_TRUE(open.damage.empty());
}

TEST(Decode, LeadingId3v2IsSkipped) {
  const TakImage image = MakeTak("seconds=1,channels=1,bits=16");
  Bytes file = {'I', 'D', '3', 4, 0, 0, 0, 0, 0, 20};
  file.resize(30, 0);
  file.insert(file.end(), image.file.begin(), image.file.end());
  OpenDecoder open(file);
  ASSERT_EQ(tak_SSD_Valid(open.decoder), 1);
  EXPECT_TRUE(open.ReadAll() == image.pcm);
}

TEST(Decode, StraightIoGivesTheSameAsAJumblingOne) {
  const TakImage image = MakeTak("seconds=2,channels=2,bits=24");
  OpenDecoder straight(image.file, false), jumbled(image.file, true);
  EXPECT_TRUE(straight.ReadAll() == image.pcm);
  EXPECT_TRUE(jumbled.ReadAll() == image.pcm);
}

}  // namespace

namespace {

TEST(Decode, AnEmptyStreamIsValidAndEndsAtOnce) {
  const TakImage image = MakeTak("samples=0,channels=2,bits=16");
  OpenDecoder open(image.file);
  ASSERT_EQ(tak_SSD_Valid(open.decoder), 1);
  EXPECT_EQ(open.Info().frames, 0);
  EXPECT_TRUE(open.ReadAll().empty());
}

}  // namespace
