/* CaptureApeTag through stream creation: the capture block's layout, the
 * footers it refuses, and where it leaves the host file. Files are written
 * out byte by byte here. */
#include <optional>

#include "core_fixture.h"
#include "stream/stream_queries.h"
#include "tags/ape_capture.h"

namespace {

void PutLe32(Bytes *out, uint32_t value) {
  for (int i = 0; i < 4; ++i) out->push_back(uint8_t(value >> (8 * i)));
}

Bytes Footer(uint32_t tagSize, uint32_t version = 2000, uint32_t items = 2, uint32_t flags = 0) {
  Bytes footer = {'A', 'P', 'E', 'T', 'A', 'G', 'E', 'X'};
  PutLe32(&footer, version);
  PutLe32(&footer, tagSize);
  PutLe32(&footer, items);
  PutLe32(&footer, flags);
  footer.resize(32, 0);
  return footer;
}

Bytes Cat(std::initializer_list<Bytes> parts) {
  Bytes all;
  for (const Bytes &part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}

Bytes Tail(const Bytes &bytes, size_t count) { return Bytes(bytes.end() - long(count), bytes.end()); }

/* Two items of 30 bytes each: 4-byte value size, 4-byte flags, key, zero,
 * 16 value bytes. */
Bytes TwoItems() {
  Bytes items;
  for (const char *pair : {"Title\0Sixteen bytes ok", "Album\0An album, 16 ch."}) {
    PutLe32(&items, 16);
    PutLe32(&items, 0);
    items.insert(items.end(), pair, pair + 22);
  }
  return items; /* 2 x (8 + 6 + 16) = 60 bytes */
}

const Bytes kAudio(50, 0x22);
const Bytes kHeader = Footer(92, 2000, 2, 0xA0000000u); /* a header flags bit 29 */
const Bytes kTwoItemFile = Cat({kAudio, kHeader, TwoItems(), Footer(92)});

struct CaptureCase {
  const char *name;
  Bytes file;
  std::optional<Bytes> block; /* expected capture block, or none */
  uint64_t position;          /* host file position after creation */
  uint32_t shortRead = 0;     /* this FileRead returns... */
  uint32_t shortReadBytes = 0;
  uint32_t failAllocation = 0; /* fail this heap allocation (1 = the record) */
};

class ApeCapture : public CoreTest, public ::testing::WithParamInterface<CaptureCase> {};

TEST_P(ApeCapture, KeepsTheTagAsStoredOrNothing) {
  const CaptureCase &c = GetParam();
  OpenFile(c.file);
  SetFormat(16, 2, 10);
  if (c.shortRead) HostDouble_LimitRead(c.shortRead, c.shortReadBytes);
  if (c.failAllocation) TestHeap_FailAt(c.failAllocation);
  const HostStream stream = Create(0);
  ASSERT_NE(stream, 0u) << "tag capture never fails the stream";
  const TakStream *record = Record(stream);

  if (c.block) {
    ASSERT_NE(record->apeTag, nullptr);
    EXPECT_EQ(Bytes(record->apeTag, record->apeTag + c.block->size()), *c.block);
    EXPECT_EQ(QueryTags(Record(stream), HOST_TAG_APE), record->apeTag);
  } else {
    EXPECT_EQ(record->apeTag, nullptr);
  }
  EXPECT_EQ(HostDouble_FilePos(file_), c.position);
  for (uint32_t i = 0; i < HostDouble_CallTotal(); ++i) {
    HostDoubleCall call{};
    HostDouble_GetCall(i, &call);
    if (call.slot == HD_FILE_SEEK) {
      EXPECT_LE(call.args[1], c.file.size()) << "seek before 0";
    }
  }
}

const Bytes kSmallTagFile = Cat({kAudio, Footer(10)});

INSTANTIATE_TEST_SUITE_P(
    Layouts, ApeCapture,
    ::testing::Values(
        CaptureCase{"TwoItemsOf60Bytes", kTwoItemFile,
                    Cat({Footer(92), TwoItems(), Footer(92)}), 0},
        CaptureCase{"NoTag", Bytes(100, 0x33), std::nullopt, 100},
        CaptureCase{"FollowedById3v1",
                    Cat({kTwoItemFile, Bytes{'T', 'A', 'G'}, Bytes(125, 0)}), std::nullopt,
                    kTwoItemFile.size() + 128},
        CaptureCase{"SizeZeroIsTheFooterCopyAlone", Cat({kAudio, Footer(0)}), Footer(0), 0},
        CaptureCase{"SizeBelow32TakesTheLastBytes", kSmallTagFile,
                    Cat({Footer(10), Tail(kSmallTagFile, 10)}), 0},
        CaptureCase{"AnyVersionAndFlags", Cat({kAudio, Footer(32, 1000, 0, 0xFFFFFFFFu)}),
                    Cat({Footer(32, 1000, 0, 0xFFFFFFFFu), Footer(32, 1000, 0, 0xFFFFFFFFu)}), 0},
        CaptureCase{"TagAsLongAsTheFile", Footer(32), Cat({Footer(32), Footer(32)}), 0},
        CaptureCase{"TagLargerThanTheFile", Cat({kAudio, Footer(500)}), std::nullopt, 82},
        CaptureCase{"FileShorterThanAFooter", Bytes{'A', 'P', 'E', 'T', 'A', 'G', 'E', 'X', 0, 0},
                    std::nullopt, 0},
        CaptureCase{"ShortFooterRead", kTwoItemFile, std::nullopt, kTwoItemFile.size() - 1, 1, 31},
        CaptureCase{"ShortBodyRead", kTwoItemFile, std::nullopt, 0, 2, 10},
        CaptureCase{"NoMemoryForTheBlock", kTwoItemFile, std::nullopt, 0, 0, 0, 2}),
    CaseName<CaptureCase>);

using ApeCaptureCalls = CoreTest;

TEST_F(ApeCaptureCalls, ReadsFooterThenBodyThenRewinds) {
  OpenFile(kTwoItemFile);
  SetFormat(16, 2, 10);
  ASSERT_NE(Create(0), 0u);
  std::vector<std::pair<uint32_t, uint64_t>> fileCalls;
  for (uint32_t i = 0; i < HostDouble_CallTotal(); ++i) {
    HostDoubleCall call{};
    HostDouble_GetCall(i, &call);
    if (call.slot == HD_FILE_SEEK) fileCalls.push_back({call.slot, call.args[1]});
    if (call.slot == HD_FILE_READ) fileCalls.push_back({call.slot, call.args[2]});
    if (call.slot == HD_FILE_POSITION) fileCalls.push_back({call.slot, call.args[1]});
  }
  const uint64_t length = kTwoItemFile.size();
  const std::vector<std::pair<uint32_t, uint64_t>> expected = {
      {HD_FILE_POSITION, 2}, {HD_FILE_SEEK, length - 32}, {HD_FILE_READ, 32},
      {HD_FILE_SEEK, length - 92}, {HD_FILE_READ, 92}, {HD_FILE_SEEK, 0}};
  EXPECT_EQ(fileCalls, expected);
}

TEST_F(ApeCaptureCalls, ShorterThanAFooterReadsNothing) {
  OpenFile(Bytes(20, 0x44));
  SetFormat(16, 2, 10);
  ASSERT_NE(Create(0), 0u);
  EXPECT_EQ(HostDouble_CallCount(HD_FILE_READ), 0u);
  EXPECT_EQ(HostDouble_CallCount(HD_FILE_SEEK), 0u);
}

TEST_F(ApeCaptureCalls, TagSizeLimitIs16MiBExclusive) {
  const Bytes filler(0x1000000, 0x55);
  for (uint32_t size : {0x00FFFFFFu, 0x01000000u}) {
    const Bytes file = Cat({filler, Footer(size)});
    OpenFile(file);
    SetFormat(16, 2, 10);
    const HostStream stream = Create(0);
    ASSERT_NE(stream, 0u);
    const TakStream *record = Record(stream);
    if (size < kApeTagSizeLimit) {
      ASSERT_NE(record->apeTag, nullptr);
      EXPECT_EQ(Bytes(record->apeTag, record->apeTag + 32), Footer(size));
      EXPECT_EQ(0, memcmp(record->apeTag + 32, file.data() + file.size() - size, size));
      EXPECT_EQ(HostDouble_FilePos(file_), 0u);
    } else {
      EXPECT_EQ(record->apeTag, nullptr);
      EXPECT_EQ(HostDouble_FilePos(file_), file.size());
    }
    HostDouble_FreeStream(stream);
    file_ = 0;
  }
}

}  // namespace
