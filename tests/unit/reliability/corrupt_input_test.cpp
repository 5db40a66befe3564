/* Damaged TAK files through the real chain (host, plug-in, decoder library):
 * files cut at every frame boundary and inside frames, bytes flipped, frames
 * swapped out of order, and APEv2 footers whose tag size points outside the
 * file. Whatever the damage, nothing crashes or hangs, no file stays open,
 * and the stream keeps the promises the decoder library documents: a cut
 * file ends at its last complete frame, a damaged frame comes out as silence
 * of the frame's own length, so a full read always delivers exactly the
 * stream's length, and every frame the damage did not touch decodes to the
 * writer's PCM. Frame offsets come from ffprobe, not from our own code. */
#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "reliability_support.h"

namespace {

constexpr uint32_t kFrameBytes = 4; /* 16-bit stereo output */

struct Damaged : ::testing::Test {
  static void SetUpTestSuite() {
    ASSERT_TRUE(LoadPlugin());
    takwrite::WriteOptions options;
    options.frame_size_type = takwrite::kFrame512;
    image_ = MakeTak("samples=5000,rate=8000,channels=2,bits=16,kind=music,seed=3", options);
    frames_ = FfprobeFrames(WriteTempFile("damaged.tak", image_.file));
    ASSERT_EQ(frames_.size(), image_.stats.frames);
    frameSamples_ = image_.stats.frame_samples;
  }

  void TearDown() override { EXPECT_EQ(BASS_GetOpenFileCount(), 0u); }

  /* Opens `file` from memory; the bytes must outlive the stream. */
  static HostStream Open(const Bytes &file) {
    return BASS_StreamCreateFile(1, file.data(), 0, file.size(), 0);
  }

  /* Output bytes of frames [first, last) of the writer's PCM. */
  static Bytes PcmOfFrames(size_t first, size_t last) {
    const size_t begin = std::min(first * frameSamples_ * kFrameBytes, image_.pcm.size());
    const size_t end = std::min(last * frameSamples_ * kFrameBytes, image_.pcm.size());
    return Bytes(image_.pcm.begin() + begin, image_.pcm.begin() + end);
  }

  /* The frame whose bytes hold file offset `at`, or frames_.size(). */
  static size_t FrameAt(int64_t at) {
    for (size_t k = 0; k < frames_.size(); ++k)
      if (at >= frames_[k].offset && at < frames_[k].offset + frames_[k].size) return k;
    return frames_.size();
  }

  /* Reads the stream to its end: the output must be exactly the stream's
   * length, and frames outside [damagedFirst, damagedLast] must be the PCM. */
  static void ExpectTrueLengthAndCleanFrames(HostStream stream, size_t damagedFirst,
                                             size_t damagedLast) {
    const uint64_t length = BASS_ChannelGetLength(stream, BASS_POS_BYTE);
    ASSERT_EQ(length, image_.pcm.size()) << "damage never changes the length of an uncut file";
    const Bytes out = ReadAll(stream, 4000, length + 65536);
    ASSERT_EQ(out.size(), length);
    const size_t frameOut = frameSamples_ * kFrameBytes;
    for (size_t k = 0; k < frames_.size(); ++k) {
      if (k + 1 >= damagedFirst && k <= damagedLast + 1) continue; /* the damage and its neighbours */
      const size_t end = std::min((k + 1) * frameOut, out.size());
      EXPECT_TRUE(std::equal(out.begin() + k * frameOut, out.begin() + end,
                             image_.pcm.begin() + k * frameOut))
          << "untouched frame " << k;
    }
  }

  static TakImage image_;
  static std::vector<FrameSpan> frames_;
  static size_t frameSamples_;
};
TakImage Damaged::image_;
std::vector<FrameSpan> Damaged::frames_;
size_t Damaged::frameSamples_ = 0;

/* A file cut anywhere inside frame k (or at its first byte) plays frames
 * 0..k-1 exactly and ends there; a cut before the first frame either is
 * refused or plays nothing. */
void ExpectCutPlaysCompleteFrames(const Bytes &file, int64_t cut, size_t complete,
                                  const Bytes &expected) {
  const Bytes cutFile(file.begin(), file.begin() + cut);
  const HostStream stream = BASS_StreamCreateFile(1, cutFile.data(), 0, cutFile.size(), 0);
  if (!stream) {
    EXPECT_EQ(complete, 0u) << "cut at " << cut << " refused";
    EXPECT_EQ(BASS_ErrorGetCode(), HOST_ERROR_FILEFORM);
    return;
  }
  EXPECT_EQ(BASS_ChannelGetLength(stream, BASS_POS_BYTE), expected.size()) << "cut at " << cut;
  EXPECT_TRUE(ReadAll(stream, 1000, expected.size() + 65536) == expected) << "cut at " << cut;
  EXPECT_TRUE(BASS_StreamFree(stream));
}

TEST_F(Damaged, CutAtEveryFrameBoundaryEndsAtTheLastCompleteFrame) {
  for (size_t k = 0; k < frames_.size(); ++k) {
    SCOPED_TRACE(k);
    ExpectCutPlaysCompleteFrames(image_.file, frames_[k].offset, k, PcmOfFrames(0, k));
  }
  const FrameSpan &last = frames_.back();
  ExpectCutPlaysCompleteFrames(image_.file, last.offset + last.size, frames_.size(),
                               PcmOfFrames(0, frames_.size()));
}

TEST_F(Damaged, CutAtRandomOffsetsEndsAtTheLastCompleteFrame) {
  std::mt19937 random(20240501);
  std::uniform_int_distribution<int64_t> anywhere(1, int64_t(image_.file.size()) - 1);
  for (int trial = 0; trial < 150; ++trial) {
    const int64_t cut = anywhere(random);
    size_t complete = 0;
    while (complete < frames_.size() &&
           frames_[complete].offset + frames_[complete].size <= cut)
      ++complete;
    if (cut < frames_[0].offset) {
      /* In the metadata: refused, or an empty stream. */
      const Bytes head(image_.file.begin(), image_.file.begin() + cut);
      const HostStream stream = Open(head);
      if (stream) {
        EXPECT_TRUE(ReadAll(stream, 1000, 1 << 20).size() ==
                    BASS_ChannelGetLength(stream, BASS_POS_BYTE));
        BASS_StreamFree(stream);
      }
      continue;
    }
    ExpectCutPlaysCompleteFrames(image_.file, cut, complete, PcmOfFrames(0, complete));
  }
}

TEST_F(Damaged, AFlippedByteSilencesOnlyItsOwnFrame) {
  std::mt19937 random(7);
  for (size_t k = 0; k < frames_.size(); ++k) {
    for (int trial = 0; trial < 4; ++trial) {
      Bytes file = image_.file;
      const int64_t at = frames_[k].offset + int64_t(random() % uint32_t(frames_[k].size));
      file[size_t(at)] ^= uint8_t(1u << (random() % 8));
      SCOPED_TRACE("frame " + std::to_string(k) + " offset " + std::to_string(at));
      const HostStream stream = Open(file);
      ASSERT_NE(stream, 0u);
      ExpectTrueLengthAndCleanFrames(stream, k, k);
      EXPECT_TRUE(BASS_StreamFree(stream));
    }
  }
}

/* The last frame of a whole file (the LAST_FRAME block says where it is and
 * the file reaches its end) keeps its place and length when its header is
 * ruined: it comes out as silence, it does not make the file look cut. */
TEST_F(Damaged, ARuinedLastFrameHeaderKeepsTheLength) {
  const size_t last = frames_.size() - 1;
  for (int64_t at = 0; at < 4; ++at) {
    Bytes file = image_.file;
    file[size_t(frames_[last].offset + at)] ^= 0xFF;
    SCOPED_TRACE("header byte " + std::to_string(at));
    const HostStream stream = Open(file);
    ASSERT_NE(stream, 0u);
    ExpectTrueLengthAndCleanFrames(stream, last, last);
    EXPECT_TRUE(BASS_StreamFree(stream));
  }
}

TEST_F(Damaged, ManyFlippedBytesNeverBreakLengthOrPositions) {
  std::mt19937 random(11);
  for (int trial = 0; trial < 120; ++trial) {
    Bytes file = image_.file;
    const int flips = 1 + int(random() % 40);
    for (int i = 0; i < flips; ++i) {
      const size_t at = size_t(frames_[0].offset) + random() % (file.size() - size_t(frames_[0].offset));
      file[at] = uint8_t(random());
    }
    SCOPED_TRACE("trial " + std::to_string(trial));
    const HostStream stream = Open(file);
    ASSERT_NE(stream, 0u) << "the header and metadata are intact";
    const uint64_t length = BASS_ChannelGetLength(stream, BASS_POS_BYTE);
    EXPECT_EQ(length, image_.pcm.size());
    EXPECT_EQ(ReadAll(stream, 1 + random() % 9000, length + 65536).size(), length);
    for (int seek = 0; seek < 3; ++seek) {
      const uint64_t position = (random() % (length / kFrameBytes)) * kFrameBytes;
      ASSERT_TRUE(BASS_ChannelSetPosition(stream, position, BASS_POS_BYTE));
      EXPECT_EQ(ReadAll(stream, 3000, length + 65536).size(), length - position);
    }
    EXPECT_TRUE(BASS_StreamFree(stream));
  }
}

TEST_F(Damaged, FramesOutOfOrderKeepTheLengthAndTheFramesAroundThem) {
  for (size_t k = 1; k + 2 < frames_.size(); k += 2) {
    /* Frames k and k+1 trade places (sizes differ, so the bytes between move). */
    const FrameSpan a = frames_[k], b = frames_[k + 1];
    Bytes file(image_.file.begin(), image_.file.begin() + a.offset);
    file.insert(file.end(), image_.file.begin() + b.offset, image_.file.begin() + b.offset + b.size);
    file.insert(file.end(), image_.file.begin() + a.offset, image_.file.begin() + a.offset + a.size);
    file.insert(file.end(), image_.file.begin() + b.offset + b.size, image_.file.end());
    SCOPED_TRACE("swapped " + std::to_string(k));
    const HostStream stream = Open(file);
    ASSERT_NE(stream, 0u);
    ExpectTrueLengthAndCleanFrames(stream, k, k + 1);
    EXPECT_TRUE(BASS_StreamFree(stream));
  }
}

TEST_F(Damaged, AFrameRepeatedInPlaceOfTheNextKeepsTheLength) {
  const size_t k = 3;
  Bytes file(image_.file.begin(), image_.file.begin() + frames_[k + 1].offset);
  file.insert(file.end(), image_.file.begin() + frames_[k].offset,
              image_.file.begin() + frames_[k].offset + frames_[k].size);
  file.insert(file.end(), image_.file.begin() + frames_[k + 2].offset, image_.file.end());
  const HostStream stream = Open(file);
  ASSERT_NE(stream, 0u);
  ExpectTrueLengthAndCleanFrames(stream, k + 1, k + 1);
  EXPECT_TRUE(BASS_StreamFree(stream));
}

/* APEv2 footers whose tag size reaches outside the file: the audio plays in
 * full, the plug-in keeps no capture block, and nothing reads out of bounds
 * (the ASan run of this suite watches that). */
struct BadTagSize {
  const char *name;
  takwrite::BrokenFooter footer;
  uint32_t forcedSize; /* written over the footer's size field when not 0 */
};

class DamagedTag : public Damaged, public ::testing::WithParamInterface<BadTagSize> {};

TEST_P(DamagedTag, TagSizeOutsideTheFileLeavesAudioWholeAndNoCaptureBlock) {
  takwrite::WriteOptions options;
  options.frame_size_type = takwrite::kFrame512;
  options.tags = {takwrite::text_item("Title", "Outside")};
  options.broken_footer = GetParam().footer;
  TakImage tagged = MakeTak("samples=3000,rate=8000,channels=2,bits=16,kind=noise,seed=5", options);
  if (GetParam().forcedSize) {
    uint8_t *size = tagged.file.data() + tagged.file.size() - 32 + 12;
    for (int i = 0; i < 4; ++i) size[i] = uint8_t(GetParam().forcedSize >> (8 * i));
  }
  const HostStream stream = Open(tagged.file);
  ASSERT_NE(stream, 0u);
  EXPECT_EQ(BASS_ChannelGetTags(stream, HOST_TAG_APE), nullptr);
  EXPECT_EQ(BASS_ChannelGetTags(stream, HOST_TAG_ID3V2), nullptr) << "the library refuses the tag";
  EXPECT_TRUE(ReadAll(stream, 5000, tagged.pcm.size() + 65536) == tagged.pcm);
  EXPECT_TRUE(BASS_StreamFree(stream));
}

const BadTagSize kBadTagSizes[] = {
    {"PastTheFile", takwrite::BrokenFooter::size_past_file, 0},
    {"SixteenMiB", takwrite::BrokenFooter::size_huge, 0},
    {"JustUnderSixteenMiB", takwrite::BrokenFooter::size_max_ok, 0},
    {"AllOnes", takwrite::BrokenFooter::none, 0xFFFFFFFFu},
    {"WrapsBelowZero", takwrite::BrokenFooter::none, 0xFFFFFFE0u},
};
INSTANTIATE_TEST_SUITE_P(Footers, DamagedTag, ::testing::ValuesIn(kBadTagSizes),
                         [](const auto &param) { return std::string(param.param.name); });

}  // namespace
