/* Damage: a flipped byte in a frame's data or header is reported once and
 * delivered as silence of the frame's length while every other frame stays
 * exact; a file cut anywhere ends at its last complete frame; inputs that are
 * not TAK give an invalid decoder (never a crash), and an unusable I/O record
 * gives none. Frame positions come from ffprobe, not from the library. */
#include <gtest/gtest.h>

#include <random>

#include "decoder_fixture.h"

namespace {

constexpr int kFs = 512;

TakImage SmallImage() {
  takwrite::WriteOptions options;
  options.frame_size_type = takwrite::kFrame512;
  options.tags = {takwrite::text_item("Title", "cut")};
  return MakeTak("samples=6700,rate=44100,channels=2,bits=16", options); /* 14 frames */
}

std::vector<Packet> Frames(const TakImage &image) {
  TempFile file(image.file);
  return FfprobeFrames(file.path);
}

Bytes Expected(const TakImage &image, int64_t silentFrom, int64_t silentCount) {
  Bytes pcm = image.pcm;
  std::fill(pcm.begin() + silentFrom * 4, pcm.begin() + (silentFrom + silentCount) * 4, 0);
  return pcm;
}

struct FlipCase {
  const char *name;
  int frame;      /* -1 = the last */
  bool inHeader;  /* flip a header byte instead of a data byte */
};

const FlipCase kFlips[] = {
    {"FirstFrameData", 0, false}, {"MiddleFrameData", 6, false}, {"LastFrameData", -1, false},
    {"FirstFrameHeader", 0, true}, {"MiddleFrameHeader", 6, true},
};

class FlippedByte : public ::testing::TestWithParam<FlipCase> {};

TEST_P(FlippedByte, ReportsOnceSilencesTheFrameAndKeepsTheRest) {
  TakImage image = SmallImage();
  const std::vector<Packet> frames = Frames(image);
  ASSERT_EQ(frames.size(), 14u);
  const int k = GetParam().frame < 0 ? int(frames.size()) - 1 : GetParam().frame;
  const Packet &p = frames[size_t(k)];
  image.file[size_t(p.offset + (GetParam().inHeader ? 3 : p.size / 2))] ^= 0x10;

  OpenDecoder open(image.file);
  ASSERT_EQ(tak_SSD_Valid(open.decoder), 1);
  EXPECT_EQ(open.Info().frames, 6700);
  const int64_t count = std::min<int64_t>(kFs, 6700 - int64_t(k) * kFs);
  EXPECT_TRUE(open.ReadAll() == Expected(image, int64_t(k) * kFs, count));
  ASSERT_EQ(open.damage.size(), 1u);
  EXPECT_EQ(open.damage[0].reason, GetParam().inHeader ? TAK_DAMAGE_MISSING : TAK_DAMAGE_CRC);
  OpenDecoder wide(image.file); /* whole frames straight into the caller's buffer */
  EXPECT_TRUE(wide.ReadAll(3 * kFs + 1) == Expected(image, int64_t(k) * kFs, count));
  EXPECT_EQ(wide.damage.size(), 1u);
  EXPECT_EQ(open.damage[0].firstFrame, int64_t(k) * kFs);
  EXPECT_EQ(open.damage[0].frameCount, count);
}

INSTANTIATE_TEST_SUITE_P(Damage, FlippedByte, ::testing::ValuesIn(kFlips),
                         [](const auto &row) { return std::string(row.param.name); });

TEST(Damage, SeekingIntoADamagedFrameReportsItAgain) {
  TakImage image = SmallImage();
  const std::vector<Packet> frames = Frames(image);
  image.file[size_t(frames[3].offset + frames[3].size / 2)] ^= 0xFF;
  OpenDecoder open(image.file);
  tak_SSD_Seek(open.decoder, 3 * kFs + 100);
  const Bytes expected = Expected(image, 3 * kFs, kFs);
  EXPECT_TRUE(open.Read(1000) == Bytes(expected.begin() + (3 * kFs + 100) * 4,
                                      expected.begin() + (3 * kFs + 1100) * 4));
  ASSERT_EQ(open.damage.size(), 1u);
  EXPECT_EQ(open.damage[0].firstFrame, 3 * kFs);
}

TEST(Damage, ACutFileEndsAtItsLastCompleteFrame) {
  const TakImage image = SmallImage();
  const std::vector<Packet> frames = Frames(image);
  for (size_t k = 0; k < frames.size(); ++k) {
    const Packet &p = frames[k];
    for (int64_t cut : {p.offset, p.offset + 3, p.offset + p.size / 2, p.offset + p.size - 1}) {
      OpenDecoder open(Bytes(image.file.begin(), image.file.begin() + cut));
      ASSERT_EQ(tak_SSD_Valid(open.decoder), 1) << "cut at " << cut;
      const int64_t complete = int64_t(k) * kFs;
      EXPECT_EQ(open.Info().frames, complete) << "cut at " << cut;
      EXPECT_TRUE(open.ReadAll() == Bytes(image.pcm.begin(), image.pcm.begin() + complete * 4));
      EXPECT_TRUE(open.damage.empty());
    }
  }
  const Packet &last = frames.back();
  OpenDecoder whole(Bytes(image.file.begin(), image.file.begin() + last.offset + last.size));
  EXPECT_EQ(whole.Info().frames, 6700);
}

TEST(Damage, CutFilesWithoutTheLastFrameBlockToo) {
  takwrite::WriteOptions options;
  options.frame_size_type = takwrite::kFrame512;
  options.last_frame_block = false;
  const TakImage image = MakeTak("samples=3000,channels=1,bits=8", options);
  const std::vector<Packet> frames = Frames(image);
  for (size_t k = 0; k < frames.size(); ++k) {
    OpenDecoder open(Bytes(image.file.begin(), image.file.begin() + frames[k].offset + frames[k].size / 2));
    EXPECT_EQ(open.Info().frames, int64_t(k) * kFs);
  }
}

Bytes Wav() {
  const Bytes pcm(4000, 0x11);
  return takwrite::make_wav(takwrite::PcmFormat{}, pcm.data(), pcm.size());
}

Bytes Random(size_t size, uint32_t seed, Bytes prefix = {}) {
  std::mt19937 random(seed);
  Bytes bytes = prefix;
  while (bytes.size() < size) bytes.push_back(uint8_t(random()));
  return bytes;
}

Bytes StreamInfoCut() {
  Bytes file = SmallImage().file;
  file.resize(20);
  return file;
}

TEST(NotTak, GivesAnInvalidDecoder) {
  const Bytes inputs[] = {{}, Wav(), Random(5000, 1), Random(100000, 2, {'t', 'B', 'a', 'K'}), StreamInfoCut(),
                          Random(300, 3, {'t', 'B', 'a', 'K', 1, 0x10, 0, 0})};
  for (const Bytes &input : inputs) {
    OpenDecoder open(input);
    ASSERT_NE(open.decoder, nullptr);
    EXPECT_NE(tak_SSD_Valid(open.decoder), 1);
    TakStreamInfo info{};
    EXPECT_NE(tak_SSD_GetStreamInfo(open.decoder, &info), 0);
    EXPECT_NE(tak_APE_Valid(tak_SSD_GetAPEv2Tag(open.decoder)), 1);
    int32_t got = 7;
    uint8_t buffer[16];
    tak_SSD_ReadAudio(open.decoder, buffer, 4, &got);
    EXPECT_EQ(got, 0);
  }
}

TEST(NotTak, UnusableIoGivesNoDecoder) {
  MemoryStream stream;
  EXPECT_EQ(tak_SSD_Create_FromStream(nullptr, &stream, nullptr, nullptr, nullptr), nullptr);
  DecoderIo noRead = kMemoryIo;
  noRead.read = nullptr;
  EXPECT_EQ(tak_SSD_Create_FromStream(&noRead, &stream, nullptr, nullptr, nullptr), nullptr);
  tak_SSD_Destroy(nullptr);
}

TEST(NotTak, NullHandlesAreRefused) {
  TakStreamInfo info{};
  int32_t got = 5;
  EXPECT_NE(tak_SSD_Valid(nullptr), 1);
  EXPECT_NE(tak_SSD_GetStreamInfo(nullptr, &info), 0);
  EXPECT_NE(tak_SSD_ReadAudio(nullptr, nullptr, 1, &got), 0);
  EXPECT_EQ(got, 0);
  EXPECT_NE(tak_APE_Valid(nullptr), 1);
  EXPECT_EQ(tak_APE_GetItemNum(nullptr), 0);
}

}  // namespace
