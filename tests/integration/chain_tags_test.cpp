/* The three tag blocks through the host: the APEv2 capture block equals the
 * file's own footer followed by its last tag-size bytes, the ID3v1 and
 * ID3v2.4 blocks equal bytes written out here by hand, and python3-mutagen
 * reads the ID3v2 tag back with the right frames and texts. */
#include <gtest/gtest.h>

#include <cstring>

#include "integration_support.h"

namespace {
const char kTags[] =
    "--tag Title=Abc --tag Artist=Zed --tag Genre=Rock --tag Year=1999 "
    "--tag Comment=hi --tag Track=3/12";

Bytes Text(const char *text) { return Bytes(text, text + std::strlen(text)); }

void Append(Bytes &out, const Bytes &more) { out.insert(out.end(), more.begin(), more.end()); }

/* One ID3v2.4 frame: ID, synchsafe size (< 128 here), two zero flag bytes, body. */
Bytes Frame(const char *id, const Bytes &body) {
  Bytes frame = Text(id);
  Append(frame, {0, 0, 0, uint8_t(body.size()), 0, 0});
  Append(frame, body);
  return frame;
}

class ChainTags : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    ASSERT_NE(LoadRealPlugin(), 0u);
    tagged = new TakFile(WriteTak("tagged", "seconds=1,rate=44100,channels=2,bits=16", kTags));
    bare = new TakFile(WriteTak("bare", "seconds=1,rate=44100,channels=1,bits=16"));
  }
  static void TearDownTestSuite() { delete tagged, delete bare; }
  void SetUp() override {
    stream = BASS_StreamCreateFile(0, tagged->path.c_str(), 0, 0, 0);
    ASSERT_NE(stream, 0u) << BASS_ErrorGetCode();
  }
  void TearDown() override { BASS_StreamFree(stream); }
  const uint8_t *Block(uint32_t type) {
    return reinterpret_cast<const uint8_t *>(BASS_ChannelGetTags(stream, type));
  }
  static TakFile *tagged, *bare;
  HostStream stream = 0;
};
TakFile *ChainTags::tagged = nullptr;
TakFile *ChainTags::bare = nullptr;

TEST_F(ChainTags, ApeBlockIsTheFootersCopyThenTheTagAsStored) {
  Bytes file = ReadBytes(tagged->path);
  ASSERT_GE(file.size(), 32u);
  Bytes footer(file.end() - 32, file.end());
  ASSERT_EQ(std::memcmp(footer.data(), "APETAGEX", 8), 0);
  uint32_t tagSize = footer[12] | footer[13] << 8 | footer[14] << 16 | uint32_t(footer[15]) << 24;
  Bytes expected = footer;
  expected.insert(expected.end(), file.end() - tagSize, file.end());
  const uint8_t *block = Block(HOST_TAG_APE);
  ASSERT_NE(block, nullptr);
  EXPECT_EQ(Bytes(block, block + expected.size()), expected);
}

TEST_F(ChainTags, Id3v1BlockHoldsTheRecognisedItems) {
  Bytes expected(128, 0);
  std::memcpy(&expected[0], "TAG", 3);
  std::memcpy(&expected[3], "Abc", 3);
  std::memcpy(&expected[33], "Zed", 3);
  std::memcpy(&expected[93], "1999", 4);
  std::memcpy(&expected[97], "hi", 2);
  expected[126] = 3;
  const uint8_t *block = Block(HOST_TAG_ID3);
  ASSERT_NE(block, nullptr);
  EXPECT_EQ(Bytes(block, block + 128), expected);
}

Bytes ExpectedId3v2() {
  Bytes frames;
  Append(frames, Frame("TIT2", {3, 'A', 'b', 'c'}));
  Append(frames, Frame("TPE1", {3, 'Z', 'e', 'd'}));
  Append(frames, Frame("TDRC", {0, '1', '9', '9', '9'}));
  Append(frames, Frame("COMM", {3, 'J', 'P', 'N', 0, 'h', 'i'}));
  Append(frames, Frame("TRCK", {0, '3', '/', '1', '2'}));
  Bytes tag = {'I', 'D', '3', 4, 0, 0, 0, 0, 0, uint8_t(frames.size())};
  Append(tag, frames);
  return tag;
}

TEST_F(ChainTags, Id3v2BlockIsOneFramePerRecognisedItemInOrder) {
  Bytes expected = ExpectedId3v2();
  ASSERT_EQ(expected.size(), 10u + 75u);
  const uint8_t *block = Block(HOST_TAG_ID3V2);
  ASSERT_NE(block, nullptr);
  EXPECT_EQ(Bytes(block, block + expected.size()), expected);
}

TEST_F(ChainTags, MutagenReadsTheId3v2TagBack) {
  const uint8_t *block = Block(HOST_TAG_ID3V2);
  ASSERT_NE(block, nullptr);
  std::string path = TestPath("tag.id3");
  WriteBytes(path, Bytes(block, block + 85));
  const char script[] =
      "import sys\n"
      "from mutagen.id3 import ID3\n"
      "t = ID3(sys.argv[1])\n"
      "print(t.version)\n"
      "for f in t.values():\n"
      "    extra = (f.lang + ':') if f.FrameID == 'COMM' else ''\n"
      "    print(f.FrameID, extra + '|'.join(str(x) for x in f.text))\n";
  WriteBytes(TestPath("read_id3.py"), Text(script));
  CommandResult result = RunCommand(Quote(VARDEK_PYTHON3) + " " + Quote(TestPath("read_id3.py")) + " " + Quote(path));
  ASSERT_EQ(result.exitCode, 0) << result.err;
  std::string out(result.out.begin(), result.out.end());
  EXPECT_NE(out.find("(2, 4, 0)"), std::string::npos) << out;
  for (const char *line : {"TIT2 Abc", "TPE1 Zed", "TDRC 1999", "COMM JPN:hi", "TRCK 3/12"})
    EXPECT_NE(out.find(std::string(line) + "\n"), std::string::npos) << line << " in\n" << out;
}

TEST_F(ChainTags, FileWithoutTagsHasAZeroId3v1AndNoOtherBlock) {
  HostStream untagged = BASS_StreamCreateFile(0, bare->path.c_str(), 0, 0, 0);
  ASSERT_NE(untagged, 0u);
  auto block = reinterpret_cast<const uint8_t *>(BASS_ChannelGetTags(untagged, HOST_TAG_ID3));
  ASSERT_NE(block, nullptr);
  EXPECT_EQ(Bytes(block, block + 128), Bytes(128, 0));
  EXPECT_EQ(BASS_ChannelGetTags(untagged, HOST_TAG_ID3V2), nullptr);
  EXPECT_EQ(BASS_ErrorGetCode(), HOST_ERROR_NOTAVAIL);
  EXPECT_EQ(BASS_ChannelGetTags(untagged, HOST_TAG_APE), nullptr);
  BASS_StreamFree(untagged);
}
}  // namespace
