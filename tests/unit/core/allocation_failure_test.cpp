/* Failing each heap allocation of stream creation in turn, then releasing the
 * stream: creation fails only without a record, a tag block that could not
 * be built is absent (never half-built), the ID3v1 block keeps what was
 * written before the failure, and nothing leaks on any path. */
#include <cstring>
#include <string>

#include "core_fixture.h"

namespace {

/* The allocations of creation, in order, for the file and items below. */
enum : uint32_t {
  kRecord = 1,
  kApeBlock,
  kId3v2,
  kValueScratch,
  kTextScratch,
  kValueResize, /* the 2000-byte title */
  kTextResize,
  kFirstFrame, /* then one growth per recognised item */
};

const std::string kBigTitle(2000, 't');
const DecoderDoubleItem kItems[] = {
    {"Title", kBigTitle.data(), 2000, nullptr, 0, 0, 0, 0, 0},
    {"Comment", "hi", 2, nullptr, 0, 0, 0, 0, 0},
    {"Year", "1999", 4, nullptr, 0, 0, 0, 0, 0},
};
constexpr uint32_t kFrames = 3;

Bytes FileWithApeTag() {
  Bytes file(64 + 32, 0x22);
  const uint8_t footer[32] = {'A', 'P', 'E', 'T', 'A', 'G', 'E', 'X', 0xD0, 0x07, 0, 0, 40, 0, 0, 0};
  memcpy(file.data() + 64, footer, 32);
  return file;
}

/* The ID3v1 block after the first `items` items were added. */
Bytes Id3v1After(uint32_t items) {
  Bytes block(128, 0);
  memcpy(block.data(), "TAG", 3);
  if (items > 0) memset(block.data() + 3, 't', 30);
  if (items > 1) memcpy(block.data() + 97, "hi", 3);
  if (items > 2) memcpy(block.data() + 93, "1999", 4);
  return block;
}

using AllocationFailure = CoreTest;

TEST_F(AllocationFailure, EveryAllocationOfCreationCanFailWithoutLeaking) {
  const Bytes file = FileWithApeTag();
  TestHeap_Reset();
  OpenFile(file);
  SetFormat(16, 2, 10);
  DecoderDouble_SetApe(1, kItems, 3);
  HostStream stream = Create(0);
  ASSERT_NE(stream, 0u);
  const uint32_t total = TestHeap_Allocations();
  ASSERT_EQ(total, kFirstFrame + kFrames - 1) << "allocation order changed";
  HostDouble_FreeStream(stream);

  for (uint32_t failing = 1; failing <= total; ++failing) {
    SCOPED_TRACE(failing);
    OpenFile(file);
    TestHeap_FailAt(failing);
    stream = Create(0);
    if (failing == kRecord) {
      EXPECT_EQ(stream, 0u);
      EXPECT_EQ(HostDouble_LastError(), HOST_ERROR_MEMORY);
      EXPECT_TRUE(FileStillOpen());
      _.FileClose(file_);
    } else {
      ASSERT_NE(stream, 0u) << "tag failures never fail the stream";
      const TakStream *record = Record(stream);
      EXPECT_EQ(record->apeTag != nullptr, failing != kApeBlock);
      EXPECT_EQ(record->id3v2 != nullptr, failing < kId3v2);
      const uint32_t itemsAdded = failing >= kFirstFrame ? failing - kFirstFrame : 0;
      EXPECT_EQ(Id3v1After(failing < kId3v2 ? kFrames : itemsAdded),
                Bytes(record->id3v1, record->id3v1 + 128));
      HostDouble_FreeStream(stream);
    }
    EXPECT_EQ(TestHeap_LiveBlocks(), 0u);
    EXPECT_EQ(DecoderDouble_LiveDecoders(), 0);
    EXPECT_EQ(HostDouble_OpenFiles(), 0u);
  }
  file_ = 0;
}

}  // namespace
