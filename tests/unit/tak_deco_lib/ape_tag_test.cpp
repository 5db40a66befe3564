/* The APEv2 reader on hand-built tails: placement (end of stream, before
 * ID3v1), versions 1000 and 2000 with and without header, item kinds, long
 * values, and broken footers, headers and sizes (all invalid, none crash);
 * then the item operations' buffer rules. Tags are assembled here byte by
 * byte from the format's layout, independently of the reader. */
#include <gtest/gtest.h>

#include <cstring>

#include "ape_tag.h"
#include "decoder_fixture.h"

namespace {

void Put32(Bytes &out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(uint8_t(v >> (8 * i)));
}

struct RawItem {
  std::string key;
  Bytes value;
  uint32_t flags = 0;
};

RawItem Text(const std::string &key, const std::string &value) { return {key, Bytes(value.begin(), value.end()), 0}; }

struct TagShape {
  uint32_t version = 2000;
  bool header = false;
  int64_t sizeDelta = 0;  /* added to the footer's tag size */
  int32_t countDelta = 0; /* added to the footer's item count */
  bool badPreamble = false;
  bool headerFlagWithoutHeader = false;
};

Bytes Block(const TagShape &shape, uint32_t size, uint32_t count, uint32_t flags) {
  Bytes out = {'A', 'P', 'E', 'T', 'A', 'G', 'E', uint8_t(shape.badPreamble ? 'x' : 'X')};
  Put32(out, shape.version);
  Put32(out, size);
  Put32(out, count);
  Put32(out, flags);
  out.resize(out.size() + 8, 0);
  return out;
}

Bytes BuildTag(const std::vector<RawItem> &items, const TagShape &shape = {}) {
  Bytes body;
  for (const RawItem &item : items) {
    Put32(body, uint32_t(item.value.size()));
    Put32(body, item.flags);
    body.insert(body.end(), item.key.begin(), item.key.end());
    body.push_back(0);
    body.insert(body.end(), item.value.begin(), item.value.end());
  }
  const uint32_t size = uint32_t(int64_t(body.size()) + 32 + shape.sizeDelta);
  const uint32_t count = uint32_t(int32_t(items.size()) + shape.countDelta);
  const uint32_t hasHeader = (shape.header || shape.headerFlagWithoutHeader) ? 1u << 31 : 0;
  Bytes tag;
  if (shape.header) tag = Block(shape, size, count, hasHeader | 1u << 29);
  tag.insert(tag.end(), body.begin(), body.end());
  const Bytes footer = Block(shape, size, count, hasHeader);
  tag.insert(tag.end(), footer.begin(), footer.end());
  return tag;
}

Bytes Id3v1() {
  Bytes tag(128, 0);
  tag[0] = 'T', tag[1] = 'A', tag[2] = 'G';
  return tag;
}

/* A stream of some leading bytes, the tag, and optionally an ID3v1 tag. */
struct TaggedStream {
  TaggedStream(const Bytes &tag, bool id3v1 = false) {
    stream.bytes = Bytes(1000, 0x55);
    stream.bytes.insert(stream.bytes.end(), tag.begin(), tag.end());
    if (id3v1) {
      const Bytes id3 = Id3v1();
      stream.bytes.insert(stream.bytes.end(), id3.begin(), id3.end());
    }
    stream.jumble = true;
    StreamIo io{};
    EXPECT_TRUE(StreamIoOpen(&io, &kMemoryIo, &stream));
    EXPECT_TRUE(ReadApeTag(&io, &tag_));
  }
  ~TaggedStream() { FreeApeTag(&tag_); }
  TakApeTag *tag() { return &tag_; }

  std::string Key(int32_t index) {
    char key[64];
    int32_t length = 0;
    tak_APE_GetItemKey(&tag_, index, key, 64, &length);
    return key;
  }
  Bytes Value(int32_t index) {
    int32_t size = -1;
    EXPECT_EQ(tak_APE_GetItemValue(&tag_, index, nullptr, 0, &size), 0);
    Bytes value(size_t(size) + 1, 0xEE);
    EXPECT_EQ(tak_APE_GetItemValue(&tag_, index, value.data(), size, &size), 0);
    EXPECT_EQ(value.back(), 0xEE); /* nothing written past the size */
    value.pop_back();
    return value;
  }
  std::string Text(int32_t index) {
    int32_t length = -1;
    EXPECT_EQ(tak_APE_GetTextItemValueAsAnsi(&tag_, index, -1, 0x20, nullptr, 0, &length), 0);
    std::string text(size_t(length), '#');
    EXPECT_EQ(tak_APE_GetTextItemValueAsAnsi(&tag_, index, -1, 0x20, text.data(), length, &length), 0);
    EXPECT_EQ(text.back(), '\0');
    text.pop_back();
    return text;
  }

  MemoryStream stream;
  TakApeTag tag_{};
};

struct PlacementCase {
  const char *name;
  TagShape shape;
  bool id3v1;
};

const PlacementCase kPlacements[] = {
    {"V2AtEnd", {}, false},
    {"V2WithHeader", {2000, true}, false},
    {"V2BeforeId3v1", {}, true},
    {"V2WithHeaderBeforeId3v1", {2000, true}, true},
    {"V1AtEnd", {1000}, false},
    {"V1BeforeId3v1", {1000}, true},
};

class Placement : public ::testing::TestWithParam<PlacementCase> {};

TEST_P(Placement, ItemsInFileOrderWithKeysAsStored) {
  const Bytes tag = BuildTag({Text("Title", "Abc"), Text("artist", "Zed"), Text("Year", "1999")},
                             GetParam().shape);
  TaggedStream s(tag, GetParam().id3v1);
  ASSERT_EQ(tak_APE_Valid(s.tag()), 1);
  ASSERT_EQ(tak_APE_GetItemNum(s.tag()), 3);
  EXPECT_EQ(s.Key(0), "Title");
  EXPECT_EQ(s.Key(1), "artist");
  EXPECT_EQ(s.Key(2), "Year");
  EXPECT_EQ(s.Value(1), (Bytes{'Z', 'e', 'd'}));
  EXPECT_EQ(s.Text(2), "1999");
  EXPECT_EQ(s.tag()->start, 1000);
}

INSTANTIATE_TEST_SUITE_P(ApeTag, Placement, ::testing::ValuesIn(kPlacements),
                         [](const auto &row) { return std::string(row.param.name); });

struct BrokenCase {
  const char *name;
  TagShape shape;
  std::vector<RawItem> items;
};

const BrokenCase kBroken[] = {
    {"Preamble", {2000, false, 0, 0, true}, {Text("Title", "x")}},
    {"Version3000", {3000}, {Text("Title", "x")}},
    {"SizeBelowFooter", {2000, false, -20}, {Text("Title", "x")}},
    {"SizeZero", {2000, false, -46}, {Text("Title", "x")}},
    {"SizePastStream", {2000, false, 5000}, {Text("Title", "x")}},
    {"SizeHuge", {2000, false, 0x7FFFFFFF}, {Text("Title", "x")}},
    {"CountHigh", {2000, false, 0, 1}, {Text("Title", "x")}},
    {"CountAbsurd", {2000, false, 0, 100000000}, {Text("Title", "x")}},
    {"HeaderFlagWithoutHeader", {2000, false, 0, 0, false, true}, {Text("Title", "x")}},
    {"ValueSizePastTag", {}, {{"Title", Bytes(4, 'x'), 0}}},
    {"EmptyKey", {}, {Text("", "x")}},
};

class Broken : public ::testing::TestWithParam<BrokenCase> {};

TEST_P(Broken, IsNotValid) {
  Bytes tag = BuildTag(GetParam().items, GetParam().shape);
  if (std::string(GetParam().name) == "ValueSizePastTag") tag[0] = 200; /* value size 200 */
  TaggedStream s(tag);
  EXPECT_NE(tak_APE_Valid(s.tag()), 1);
  EXPECT_EQ(tak_APE_GetItemNum(s.tag()), 0);
  int32_t size = 9;
  EXPECT_NE(tak_APE_GetItemValue(s.tag(), 0, nullptr, 0, &size), 0);
  EXPECT_EQ(size, 0);
}

INSTANTIATE_TEST_SUITE_P(ApeTag, Broken, ::testing::ValuesIn(kBroken),
                         [](const auto &row) { return std::string(row.param.name); });

TEST(ApeTag, KeyWithoutTerminatorInsideTheTagIsNotValid) {
  Bytes tag = BuildTag({Text("Title", "")});
  tag[8 + 5] = 'X'; /* the key's NUL: the key now runs on into the footer */
  TaggedStream s(tag);
  EXPECT_NE(tak_APE_Valid(s.tag()), 1);
}

TEST(ApeTag, NoTagAtAll) {
  TaggedStream s(Bytes{});
  EXPECT_NE(tak_APE_Valid(s.tag()), 1);
  TaggedStream id3Only(Bytes{}, true);
  EXPECT_NE(tak_APE_Valid(id3Only.tag()), 1);
}

TEST(ApeTag, StreamShorterThanAFooter) {
  MemoryStream stream;
  stream.bytes = {'A', 'P', 'E'};
  StreamIo io{};
  ASSERT_TRUE(StreamIoOpen(&io, &kMemoryIo, &stream));
  TakApeTag tag{};
  EXPECT_TRUE(ReadApeTag(&io, &tag));
  EXPECT_NE(tag.valid, 1);
}

TEST(ApeTag, BinaryAndLinkItemsGiveEmptyTextButRawValues) {
  const Bytes blob = {0, 1, 2, 0xFF, 0};
  TaggedStream s(BuildTag({{"Cover Art (front)", blob, 1u << 1}, {"Link", Bytes{'u', 'r', 'l'}, 2u << 1}}));
  ASSERT_EQ(tak_APE_Valid(s.tag()), 1);
  EXPECT_EQ(s.Value(0), blob);
  EXPECT_EQ(s.Text(0), "");
  EXPECT_EQ(s.Value(1), (Bytes{'u', 'r', 'l'}));
  EXPECT_EQ(s.Text(1), "");
}

TEST(ApeTag, Version1ItemsAreTextWhateverTheirFlags) {
  TagShape v1;
  v1.version = 1000;
  TaggedStream s(BuildTag({{"Title", Bytes{'h', 'i'}, 1u << 1}}, v1));
  EXPECT_EQ(s.Text(0), "hi");
}

TEST(ApeTag, MultipleValuesAndNonAsciiText) {
  TaggedStream s(BuildTag({Text("Artist", std::string("A\0B\0C", 5)),
                           Text("Title", "Gr\xC3\xBC\xC3\x9F" "e \xE2\x82\xAC" "5 \xE6\x97\xA5!")}));
  EXPECT_EQ(s.Text(0), "A; B; C");
  EXPECT_EQ(s.Text(1), "Gr\xFC\xDF" "e \x80" "5  !");
}

TEST(ApeTag, ValuesOverOneKilobyteComeWhole) {
  std::string big(3000, 'q');
  big[2999] = 'z';
  TaggedStream s(BuildTag({Text("Comment", big)}));
  EXPECT_EQ(s.Value(0).size(), 3000u);
  EXPECT_EQ(s.Text(0), big);
}

TEST(ApeTag, KeyIsCutSafelyToTheCapacity) {
  TaggedStream s(BuildTag({Text("Artist", "x")}));
  char key[8];
  std::memset(key, '#', sizeof key);
  int32_t length = 0;
  EXPECT_EQ(tak_APE_GetItemKey(s.tag(), 0, key, 4, &length), TAK_RES_BUFFER);
  EXPECT_STREQ(key, "Art");
  EXPECT_EQ(key[4], '#');
  EXPECT_EQ(length, 6);
  EXPECT_EQ(tak_APE_GetItemKey(s.tag(), 0, key, 7, &length), TAK_RES_OK);
  EXPECT_STREQ(key, "Artist");
  EXPECT_NE(tak_APE_GetItemKey(s.tag(), 1, key, 7, &length), TAK_RES_OK);
  EXPECT_NE(tak_APE_GetItemKey(s.tag(), -1, key, 7, &length), TAK_RES_OK);
}

TEST(ApeTag, ShortBuffersAreFilledAndTerminatedButReportTheFullLength) {
  TaggedStream s(BuildTag({Text("Title", "abcdef")}));
  char text[8];
  std::memset(text, '#', sizeof text);
  int32_t length = 0;
  EXPECT_EQ(tak_APE_GetTextItemValueAsAnsi(s.tag(), 0, -1, ' ', text, 4, &length), TAK_RES_BUFFER);
  EXPECT_STREQ(text, "abc");
  EXPECT_EQ(length, 7);
  EXPECT_EQ(tak_APE_GetTextItemValueAsAnsi(s.tag(), 0, 2, ' ', text, 8, &length), TAK_RES_OK);
  EXPECT_STREQ(text, "ab");
  EXPECT_EQ(length, 3);
  uint8_t value[3] = {0, 0, 0};
  int32_t size = 0;
  EXPECT_EQ(tak_APE_GetItemValue(s.tag(), 0, value, 2, &size), TAK_RES_BUFFER);
  EXPECT_EQ(size, 6);
  EXPECT_EQ(value[0], 'a');
  EXPECT_EQ(value[2], 0);
}

TEST(ApeTag, ReadThroughADecoderOnAWrittenFile) {
  takwrite::WriteOptions options;
  options.tags = {takwrite::text_item("Title", "Demo"), takwrite::text_item("Album", "\xC3\x9C" "ber")};
  options.ape_header = true;
  options.id3v1 = true;
  const TakImage image = MakeTak("samples=2000,channels=1,bits=16", options);
  OpenDecoder open(image.file);
  TakApeTag *tag = tak_SSD_GetAPEv2Tag(open.decoder);
  ASSERT_EQ(tak_APE_Valid(tag), 1);
  ASSERT_EQ(tak_APE_GetItemNum(tag), 2);
  char text[16];
  int32_t length = 0;
  tak_APE_GetTextItemValueAsAnsi(tag, 1, -1, 0x20, text, sizeof text, &length);
  EXPECT_STREQ(text, "\xDC" "ber");
  EXPECT_EQ(length, 5);
}

}  // namespace
