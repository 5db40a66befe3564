/* BuildId3Tags through stream creation: the ID3v2.4 frames and the ID3v1
 * block made from scripted APEv2 items, including items whose sizes lie. */
#include <cstring>
#include <string>

#include "core_fixture.h"
#include "stream/stream_queries.h"
#include "tags/id3_build.h"

namespace {

DecoderDoubleItem Item(const char *key, const char *value) {
  return DecoderDoubleItem{key, value, int32_t(strlen(value)), nullptr, 0, 0, 0, 0, 0};
}

uint32_t ReadSynchsafe(const uint8_t *p) {
  return uint32_t(p[0]) << 21 | uint32_t(p[1]) << 14 | uint32_t(p[2]) << 7 | p[3];
}

struct Frame {
  std::string id;
  Bytes body; /* encoding byte + content */
  bool operator==(const Frame &) const = default;
};

class Id3Build : public CoreTest {
 protected:
  /* Creates a stream whose APEv2 tag holds `items`. */
  void Build(std::vector<DecoderDoubleItem> items, int32_t valid = 1) {
    items_ = std::move(items);
    SetFormat(16, 2, 10);
    DecoderDouble_SetApe(valid, items_.data(), int32_t(items_.size()));
    const HostStream stream = Create(0);
    ASSERT_NE(stream, 0u);
    record_ = Record(stream);
  }
  /* The whole ID3v2 tag, by the size in its header. */
  Bytes Id3v2() const {
    const uint8_t *tag = record_->id3v2;
    return tag ? Bytes(tag, tag + 10 + ReadSynchsafe(tag + 6)) : Bytes();
  }
  std::vector<Frame> Frames() const {
    const Bytes tag = Id3v2();
    std::vector<Frame> frames;
    for (size_t at = 10; at + 10 <= tag.size();) {
      const size_t size = ReadSynchsafe(&tag[at + 4]);
      frames.push_back({std::string(tag.begin() + long(at), tag.begin() + long(at) + 4),
                        Bytes(tag.begin() + long(at) + 10, tag.begin() + long(at + 10 + size))});
      at += 10 + size;
    }
    return frames;
  }
  Bytes Id3v1() const { return Bytes(record_->id3v1, record_->id3v1 + 128); }

  std::vector<DecoderDoubleItem> items_;
  TakStream *record_ = nullptr;
};

/* An ID3v1 block of "TAG" with `text` at `offset`. */
Bytes V1With(std::initializer_list<std::pair<size_t, Bytes>> fields) {
  Bytes block(128, 0);
  memcpy(block.data(), "TAG", 3);
  for (const auto &[offset, bytes] : fields) std::copy(bytes.begin(), bytes.end(), block.begin() + long(offset));
  return block;
}

Bytes B(const char *text, size_t size) { return Bytes(text, text + size); }
Bytes B(const std::string &text) { return Bytes(text.begin(), text.end()); }
/* A frame body: the encoding byte, then the content. */
Bytes Body(uint8_t encoding, const std::string &content) {
  Bytes body(1 + content.size(), encoding);
  memcpy(body.data() + 1, content.data(), content.size());
  return body;
}

TEST_F(Id3Build, TitleAbcAndYear1999GiveTheExactTag) {
  Build({Item("Title", "Abc"), Item("Year", "1999")});
  const Bytes expected = {'I', 'D', '3', 0x04, 0x00, 0x00, 0x00, 0x00, 0x00, 0x1D,
                          'T', 'I', 'T', '2', 0x00, 0x00, 0x00, 0x04, 0x00, 0x00,
                          0x03, 'A', 'b', 'c',
                          'T', 'D', 'R', 'C', 0x00, 0x00, 0x00, 0x05, 0x00, 0x00,
                          0x00, '1', '9', '9', '9'};
  ASSERT_NE(record_->id3v2, nullptr);
  EXPECT_EQ(Bytes(record_->id3v2, record_->id3v2 + expected.size()), expected);
  EXPECT_EQ(Id3v1(), V1With({{3, B("Abc", 4)}, {93, B("1999", 4)}}));
  EXPECT_EQ(QueryTags(record_, HOST_TAG_ID3V2), record_->id3v2);
  EXPECT_EQ(QueryTags(record_, HOST_TAG_ID3), record_->id3v1);
}

TEST_F(Id3Build, CommentFrameCarriesJpnAndAZero) {
  Build({Item("Comment", "hi")});
  const Bytes expected = {'I', 'D', '3', 4, 0, 0, 0, 0, 0, 17,
                          'C', 'O', 'M', 'M', 0, 0, 0, 7, 0, 0,
                          0x03, 'J', 'P', 'N', 0x00, 'h', 'i'};
  EXPECT_EQ(Id3v2(), expected);
  EXPECT_EQ(Id3v1(), V1With({{97, B("hi", 3)}}));
}

TEST_F(Id3Build, EveryKeyGoesToItsFrameAndField) {
  Build({Item("Artist", "Someone"), Item("Album", "Record"), Item("Track", "7")});
  const std::vector<Frame> expected = {{"TPE1", B("\x03Someone", 8)},
                                       {"TALB", B("\x03Record", 7)},
                                       {"TRCK", B("\x00" "7", 2)}};
  EXPECT_EQ(Frames(), expected);
  EXPECT_EQ(Id3v1(), V1With({{33, B("Someone", 8)}, {63, B("Record", 7)}, {126, {7}}}));
}

struct TrackCase {
  const char *text;
  uint8_t trackByte;
};

class Track : public Id3Build, public ::testing::WithParamInterface<TrackCase> {};

TEST_P(Track, LeadingNumberClampedToInt32ThenLow8Bits) {
  Build({Item("Track", GetParam().text)});
  const std::string text = GetParam().text;
  const std::vector<Frame> expected = {{"TRCK", Body(0, text)}};
  EXPECT_EQ(Frames(), expected);
  EXPECT_EQ(record_->id3v1[126], GetParam().trackByte);
  EXPECT_EQ(record_->id3v1[125], 0);
  EXPECT_EQ(record_->id3v1[127], 0);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, Track,
    ::testing::Values(TrackCase{"3/12", 3}, TrackCase{"300", 44}, TrackCase{"99999999999", 255},
                      TrackCase{"2147483647", 255}, TrackCase{"2147483648", 255},
                      TrackCase{"256", 0}, TrackCase{"  +7", 7}, TrackCase{"\t12x", 12},
                      TrackCase{"-1", 255}, TrackCase{"-99999999999", 0}, TrackCase{"abc", 0},
                      TrackCase{"", 0}, TrackCase{"- 5", 0}));

TEST_F(Id3Build, LongYearKeepsWholeTextInFrameAndFourBytesInId3v1) {
  Build({Item("Year", "1999-05-17")});
  const std::vector<Frame> expected = {{"TDRC", B("\x00" "1999-05-17", 11)}};
  EXPECT_EQ(Frames(), expected);
  EXPECT_EQ(Id3v1(), V1With({{93, B("1999", 4)}}));
}

TEST_F(Id3Build, SecondTitleOverwritesTheStartOfTheFirst) {
  Build({Item("Title", "Long title text"), Item("Title", "Xy")});
  const std::vector<Frame> expected = {{"TIT2", B("\x03Long title text", 16)}, {"TIT2", B("\x03Xy", 3)}};
  EXPECT_EQ(Frames(), expected);
  EXPECT_EQ(Id3v1(), V1With({{3, B("Xy\0g title text", 16)}}));
}

TEST_F(Id3Build, UnknownKeysGiveAnEmptyTagAndOnlyTAG) {
  Build({Item("TITLE", "a"), Item("title", "b"), Item("Genre", "c"), Item("Titles", "d"),
         Item("Titl", "e")});
  const Bytes expected = {'I', 'D', '3', 4, 0, 0, 0, 0, 0, 0};
  EXPECT_EQ(Id3v2(), expected);
  EXPECT_EQ(Id3v1(), V1With({}));
}

TEST_F(Id3Build, TitleLongerThan30IsCutInId3v1Only) {
  const std::string title = "A title of forty characters, all of it.";
  ASSERT_EQ(title.size(), 39u);
  Build({Item("Title", title.c_str())});
  const std::vector<Frame> expected = {{"TIT2", Body(3, title)}};
  EXPECT_EQ(Frames(), expected);
  EXPECT_EQ(Id3v1(), V1With({{3, B(title.substr(0, 30))}}));
}

TEST_F(Id3Build, ValuesOver1024BytesAreFetchedWhole) {
  const std::string big(2000, 'a'), middle(1500, 'b'), small(500, 'c');
  Build({Item("Title", big.c_str()), Item("Artist", middle.c_str()), Item("Album", small.c_str())});
  const Bytes tag = Id3v2();
  ASSERT_GE(tag.size(), 20u);
  const Bytes firstHeader = {'T', 'I', 'T', '2', 0x00, 0x00, 0x0F, 0x51, 0, 0}; /* 2001 */
  EXPECT_EQ(Bytes(tag.begin() + 10, tag.begin() + 20), firstHeader);
  const std::vector<Frame> expected = {{"TIT2", Body(3, big)}, {"TPE1", Body(3, middle)}, {"TALB", Body(3, small)}};
  EXPECT_EQ(Frames(), expected);
  EXPECT_EQ(Id3v1(), V1With({{3, B(big.substr(0, 30))}, {33, B(middle.substr(0, 30))},
                             {63, B(small.substr(0, 30))}}));

  std::vector<int32_t> valueCapacities, textCapacities;
  for (uint32_t i = 0; i < DecoderDouble_OpCount(); ++i) {
    DecoderDoubleOp op{};
    DecoderDouble_GetOp(i, &op);
    if (op.op == DD_OP_VALUE && !op.nullBuffer) valueCapacities.push_back(op.capacity);
    if (op.op == DD_OP_TEXT && !op.nullBuffer) textCapacities.push_back(op.capacity);
  }
  EXPECT_EQ(valueCapacities, (std::vector<int32_t>{2000, 1500, 500}));
  EXPECT_EQ(textCapacities, (std::vector<int32_t>{2001, 1501, 501}));
}

TEST_F(Id3Build, AsksForKeyValueSizeValueTextLengthTextOfEveryItem) {
  Build({Item("Genre", "x"), Item("Title", "Abc")});
  std::vector<std::tuple<int32_t, int32_t, int32_t, int32_t>> ops;
  for (uint32_t i = 0; i < DecoderDouble_OpCount(); ++i) {
    DecoderDoubleOp op{};
    DecoderDouble_GetOp(i, &op);
    ops.emplace_back(op.op, op.index, op.capacity, op.nullBuffer);
  }
  const std::vector<std::tuple<int32_t, int32_t, int32_t, int32_t>> expected = {
      {DD_OP_KEY, 0, 64, 0}, {DD_OP_VALUE, 0, 0, 1}, {DD_OP_VALUE, 0, 1, 0},
      {DD_OP_TEXT, 0, 0, 1}, {DD_OP_TEXT, 0, 2, 0},
      {DD_OP_KEY, 1, 64, 0}, {DD_OP_VALUE, 1, 0, 1}, {DD_OP_VALUE, 1, 3, 0},
      {DD_OP_TEXT, 1, 0, 1}, {DD_OP_TEXT, 1, 4, 0}};
  EXPECT_EQ(ops, expected);
}

TEST_F(Id3Build, TagTheLibraryRejectsGivesNothing) {
  for (int32_t valid : {0, 2, -1}) {
    Build({Item("Title", "Abc")}, valid);
    EXPECT_EQ(record_->id3v2, nullptr) << valid;
    EXPECT_EQ(Id3v1(), Bytes(128, 0)) << valid;
    EXPECT_EQ(DecoderDouble_OpCount(), 0u);
    HostDouble_FreeStream(record_->stream);
    file_ = 0;
  }
}

/* Items whose reported sizes do not match what the library wrote. */
struct LieCase {
  const char *name;
  DecoderDoubleItem item;
  Bytes titleBody;  /* TIT2 encoding byte + content */
  Bytes id3v1Title; /* bytes at offset 3 */
};

class LyingSizes : public Id3Build, public ::testing::WithParamInterface<LieCase> {};

TEST_P(LyingSizes, NeverReadPastWhatWasFetched) {
  Build({GetParam().item});
  const std::vector<Frame> expected = {{"TIT2", GetParam().titleBody}};
  EXPECT_EQ(Frames(), expected);
  EXPECT_EQ(Id3v1(), V1With({{3, GetParam().id3v1Title}}));
}

DecoderDoubleItem Lying(uint32_t lies, int32_t valueQuery, int32_t valueFetch, int32_t textQuery,
                        int32_t textFetch) {
  return DecoderDoubleItem{"Title", "Abc", 3, nullptr, lies, valueQuery, valueFetch, textQuery, textFetch};
}

INSTANTIATE_TEST_SUITE_P(
    Items, LyingSizes,
    ::testing::Values(
        LieCase{"ValueFetchReportsMore", Lying(DD_LIE_VALUE_FETCH, 0, 5000, 0, 0), B("\x03" "Abc", 4),
                B("Abc", 4)},
        LieCase{"ValueQueryReportsZero", Lying(DD_LIE_VALUE_QUERY, 0, 0, 0, 0), B("\x03", 1),
                B("Abc", 4)},
        LieCase{"ValueQueryNegative", Lying(DD_LIE_VALUE_QUERY, -5, 0, 0, 0), B("\x03", 1),
                B("Abc", 4)},
        LieCase{"ValueFetchNegative", Lying(DD_LIE_VALUE_FETCH, 0, -7, 0, 0), B("\x03", 1),
                B("Abc", 4)},
        LieCase{"ValueFetchReportsLess", Lying(DD_LIE_VALUE_FETCH, 0, 2, 0, 0), B("\x03" "Ab", 3),
                B("Abc", 4)},
        LieCase{"TextFetchReportsMore", Lying(DD_LIE_TEXT_FETCH, 0, 0, 0, 5000), B("\x03" "Abc", 4),
                B("Abc", 4)},
        LieCase{"TextQueryReportsLess", Lying(DD_LIE_TEXT_QUERY, 0, 0, 2, 0), B("\x03" "Abc", 4),
                B("A", 2)},
        LieCase{"TextFetchNegative", Lying(DD_LIE_TEXT_FETCH, 0, 0, 0, -1), B("\x03" "Abc", 4), Bytes{}}),
    CaseName<LieCase>);

TEST_F(Id3Build, KeyWithoutTerminatorMatchesNothing) {
  DecoderDoubleItem item = Item("Title", "Abc");
  item.lies = DD_KEY_UNTERMINATED;
  Build({item, Item("Year", "2001")});
  const std::vector<Frame> expected = {{"TDRC", B("\x00" "2001", 5)}};
  EXPECT_EQ(Frames(), expected);
}

TEST_F(Id3Build, TrackParsingStopsAtTheBufferEnd) {
  const char digits[3] = {'1', '2', '3'};
  EXPECT_EQ(ParseTrackNumber(digits, 2), 12);
  EXPECT_EQ(ParseTrackNumber(digits, 0), 0);
}

}  // namespace
