/* Host + plug-in + decoder library on takwrite files of every sample width:
 * the 16-bit output equals ffmpeg's decode cut to its top 16 bits (which is
 * what the plug-in does: the high two bytes of 24-bit, (u - 128) * 256 of
 * 8-bit), the float output equals the host's IntToFloat of the writer's
 * PCM, the length is frames x channels x 2, and a position change then a
 * read equals the linear decode from that offset. */
#include <gtest/gtest.h>

#include <cstring>

#include "integration_support.h"

namespace {
struct Shape {
  const char *name;
  const char *spec;
  uint32_t channels;
  uint32_t bits;
};

const Shape kShapes[] = {
    {"s16-stereo", "seconds=2,rate=44100,channels=2,bits=16,kind=music,seed=3", 2, 16},
    {"u8-mono", "seconds=1,rate=22050,channels=1,bits=8,kind=noise,seed=4", 1, 8},
    {"s24-six", "seconds=1,rate=48000,channels=6,bits=24,kind=music,seed=5", 6, 24},
    {"s16-extremes", "samples=5000,rate=8000,channels=2,bits=16,kind=extremes", 2, 16},
};

void PrintTo(const Shape &shape, std::ostream *out) { *out << shape.name; }

class ChainPcm : public testing::TestWithParam<Shape> {
 protected:
  static void SetUpTestSuite() { ASSERT_NE(LoadRealPlugin(), 0u); }
  void SetUp() override {
    tak = WriteTak(GetParam().name, GetParam().spec);
    pcm = ReadWav(tak.pcmWav);
    ASSERT_FALSE(pcm.data.empty()) << "takwrite wrote no PCM";
    frames = pcm.data.size() / (GetParam().channels * GetParam().bits / 8);
  }
  HostStream Open(uint32_t flags) {
    HostStream stream = BASS_StreamCreateFile(0, tak.path.c_str(), 0, 0, flags);
    EXPECT_NE(stream, 0u) << "host error " << BASS_ErrorGetCode();
    return stream;
  }
  TakFile tak;
  WavData pcm;
  uint64_t frames = 0;
};

TEST_P(ChainPcm, SixteenBitOutputIsFfmpegsDecodeCutToSixteenBits) {
  HostStream stream = Open(0);
  Bytes expected = TopSixteen(FfmpegS32(tak.path));
  ASSERT_EQ(expected.size(), frames * GetParam().channels * 2) << "ffmpeg disagrees on the length";
  EXPECT_TRUE(ReadAll(stream, 10000) == expected);
  BASS_StreamFree(stream);
}

TEST_P(ChainPcm, FloatOutputIsIntToFloatOfTheFilesPcm) {
  HostStream stream = Open(BASS_SAMPLE_FLOAT);
  uint32_t width = GetParam().bits / 8;
  size_t samples = pcm.data.size() / width;
  std::vector<float> expected(samples);
  _.IntToFloat(pcm.data.data(), expected.data(), uint32_t(samples), width);
  Bytes got = ReadAll(stream, 12000);
  ASSERT_EQ(got.size(), samples * 4);
  EXPECT_EQ(std::memcmp(got.data(), expected.data(), got.size()), 0);
  BASS_StreamFree(stream);
}

TEST_P(ChainPcm, LengthIsFramesTimesOutputFrame) {
  HostStream stream = Open(0);
  EXPECT_EQ(BASS_ChannelGetLength(stream, BASS_POS_BYTE), frames * GetParam().channels * 2);
  BASS_StreamFree(stream);
  stream = Open(BASS_SAMPLE_FLOAT);
  EXPECT_EQ(BASS_ChannelGetLength(stream, BASS_POS_BYTE), frames * GetParam().channels * 4);
  HostChannelInfo info{};
  ASSERT_TRUE(BASS_ChannelGetInfo(stream, &info));
  EXPECT_EQ(info.chans, GetParam().channels);
  EXPECT_EQ(info.freq, pcm.rate);
  EXPECT_EQ(info.ctype, 0x12000u);
  EXPECT_EQ(info.origres, 16u);
  BASS_StreamFree(stream);
}

TEST_P(ChainPcm, PositionThenReadEqualsTheLinearDecodeFromThere) {
  HostStream stream = Open(0);
  Bytes linear = ReadAll(stream);
  uint64_t frame = GetParam().channels * 2;
  const uint64_t positions[] = {0, frame, (frames / 3) * frame, (frames / 2) * frame + 1,
                                (frames - 1) * frame};
  for (uint64_t position : positions) {
    ASSERT_TRUE(BASS_ChannelSetPosition(stream, position, BASS_POS_BYTE)) << position;
    Bytes got(4096 * frame);
    uint32_t n = BASS_ChannelGetData(stream, got.data(), uint32_t(got.size()));
    ASSERT_NE(n, 0xFFFFFFFFu) << position;
    uint64_t from = position / frame * frame; /* a position inside a frame starts that frame */
    uint64_t expectedBytes = std::min<uint64_t>(got.size(), linear.size() - from);
    ASSERT_EQ(n, expectedBytes) << position;
    EXPECT_TRUE(std::equal(got.begin(), got.begin() + n, linear.begin() + long(from))) << position;
  }
  EXPECT_FALSE(BASS_ChannelSetPosition(stream, linear.size(), BASS_POS_BYTE));
  EXPECT_EQ(BASS_ErrorGetCode(), HOST_ERROR_POSITION);
  BASS_StreamFree(stream);
}

INSTANTIATE_TEST_SUITE_P(Shapes, ChainPcm, testing::ValuesIn(kShapes),
                         [](const testing::TestParamInfo<Shape> &param) {
                           std::string name = param.param.name;
                           for (char &c : name) c = c == '-' ? '_' : c;
                           return name;
                         });
}  // namespace
