/* The tag bytes after the last frame, written out by hand: APEv2 items in
 * order (text and binary), footer, optional header, every footer damage, the
 * ID3v1 tag, and their place at the very end of an encoded file. */
#include <gtest/gtest.h>

#include <cstring>

#include "tak_writer.h"

namespace {

using Bytes = std::vector<uint8_t>;

Bytes cat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes &p : parts)
    out.insert(out.end(), p.begin(), p.end());
  return out;
}

Bytes text(const char *s) { return Bytes(s, s + std::strlen(s)); }

const Bytes kPreamble = text("APETAGEX");
const Bytes kVersion2000{0xD0, 0x07, 0x00, 0x00};
const Bytes kReserved(8, 0);

/* Title=Ab (text), Cover=01 02 03 (binary). */
const Bytes kItems = cat({{0x02, 0, 0, 0}, {0, 0, 0, 0}, text("Title"), {0}, text("Ab"),
                          {0x03, 0, 0, 0}, {0x02, 0, 0, 0}, text("Cover"), {0}, {1, 2, 3}});

takwrite::WriteOptions two_items() {
  takwrite::WriteOptions o;
  o.tags.push_back(takwrite::text_item("Title", "Ab"));
  takwrite::ApeItem cover;
  cover.key = "Cover";
  cover.value = {1, 2, 3};
  cover.binary = true;
  o.tags.push_back(cover);
  return o;
}

/* Footer of the two-item tag: size 33 + 32 = 65, two items. */
Bytes footer(const Bytes &flags) { return cat({kPreamble, kVersion2000, {65, 0, 0, 0}, {2, 0, 0, 0}, flags, kReserved}); }

TEST(TakwriteApeTag, ItemsInOrderThenFooter) {
  EXPECT_EQ(takwrite::build_tags(two_items(), 1000), cat({kItems, footer({0, 0, 0, 0})}));
}

TEST(TakwriteApeTag, OptionalHeaderComesFirstAndBothSayTheTagHasOne) {
  takwrite::WriteOptions o = two_items();
  o.ape_header = true;
  Bytes header = footer({0, 0, 0, 0xA0});
  EXPECT_EQ(takwrite::build_tags(o, 1000), cat({header, kItems, footer({0, 0, 0, 0x80})}));
}

TEST(TakwriteApeTag, NoItemsNoTag) {
  takwrite::WriteOptions o;
  o.ape_header = true;
  EXPECT_TRUE(takwrite::build_tags(o, 1000).empty());
}

struct Damage {
  const char *name;
  size_t at;  /* footer offset of the changed bytes */
  Bytes bytes;
};

/* Test names carry the row; print only its name in failures. */
void PrintTo(const Damage &row, std::ostream *os) { *os << row.name; }

class TakwriteBrokenFooter : public testing::TestWithParam<Damage> {};

TEST_P(TakwriteBrokenFooter, ChangesExactlyTheNamedField) {
  const Damage &d = GetParam();
  takwrite::WriteOptions o = two_items();
  ASSERT_TRUE(takwrite::parse_broken_footer(d.name, o.broken_footer));
  Bytes expected = footer({0, 0, 0, 0});
  std::copy(d.bytes.begin(), d.bytes.end(), expected.begin() + static_cast<long>(d.at));
  EXPECT_EQ(takwrite::build_tags(o, 1000), cat({kItems, expected}));
}

/* The file before the tag is 1000 bytes and the tag 33 + 32 more: 1065,
 * so "past the file" is 1065 + 1000 = 0x811. */
INSTANTIATE_TEST_SUITE_P(
    Kinds, TakwriteBrokenFooter,
    testing::Values(Damage{"preamble", 7, {'x'}}, Damage{"version", 8, {0xE8, 0x03, 0, 0}},
                    Damage{"size-zero", 12, {0, 0, 0, 0}}, Damage{"size-small", 12, {16, 0, 0, 0}},
                    Damage{"size-huge", 12, {0, 0, 0, 1}}, Damage{"size-max-ok", 12, {0xFF, 0xFF, 0xFF, 0}},
                    Damage{"size-past-file", 12, {0x11, 0x08, 0, 0}},
                    Damage{"count-high", 16, {3, 0, 0, 0}}),
    [](const testing::TestParamInfo<Damage> &row) {
      std::string n = row.param.name;
      std::replace(n.begin(), n.end(), '-', '_');
      return n;
    });

TEST(TakwriteApeTag, TruncatedFooterKeepsItsFirstSixteenBytes) {
  takwrite::WriteOptions o = two_items();
  o.broken_footer = takwrite::BrokenFooter::truncated;
  Bytes f = footer({0, 0, 0, 0});
  EXPECT_EQ(takwrite::build_tags(o, 1000), cat({kItems, Bytes(f.begin(), f.begin() + 16)}));
}

TEST(TakwriteApeTag, UnknownDamageNameIsRefused) {
  takwrite::BrokenFooter kind = takwrite::BrokenFooter::none;
  EXPECT_FALSE(takwrite::parse_broken_footer("size", kind));
  EXPECT_EQ(kind, takwrite::BrokenFooter::none);
}

Bytes padded(const char *s, size_t width) {
  Bytes b = text(s);
  b.resize(width, 0);
  return b;
}

TEST(TakwriteId3v1, FollowsTheApeTagAndTakesItsTextItems) {
  takwrite::WriteOptions o;
  o.tags = {takwrite::text_item("Title", "Song"), takwrite::text_item("Artist", "Me"),
            takwrite::text_item("Album", "\xC3\x9C" "ber"), takwrite::text_item("Year", "2024"),
            takwrite::text_item("Comment", "A comment longer than twenty-eight bytes"),
            takwrite::text_item("Track", "7/12")};
  o.id3v1 = true;
  Bytes tags = takwrite::build_tags(o, 0);
  ASSERT_GE(tags.size(), 128u + 32u);
  Bytes id3(tags.end() - 128, tags.end());
  Bytes expected = cat({text("TAG"), padded("Song", 30), padded("Me", 30), padded("\xC3\x9C" "ber", 30),
                        text("2024"), text("A comment longer than twenty"), {0, 7, 255}});
  EXPECT_EQ(id3, expected);
  EXPECT_TRUE(std::equal(kPreamble.begin(), kPreamble.end(), tags.end() - 160));
}

TEST(TakwriteId3v1, WithoutItemsIsEmptyButPresent) {
  takwrite::WriteOptions o;
  o.id3v1 = true;
  Bytes expected = cat({text("TAG"), Bytes(124, 0), {255}});
  EXPECT_EQ(takwrite::build_tags(o, 0), expected);
}

TEST(TakwriteApeTag, EncodedFileEndsWithTheTag) {
  takwrite::SynthSpec spec;
  spec.samples = 1000;
  Bytes pcm = takwrite::synthesize(spec), file;
  takwrite::WriteOptions o = two_items();
  std::string error;
  ASSERT_TRUE(takwrite::encode_tak(spec.format, pcm.data(), pcm.size(), o, file, error));
  Bytes tail = cat({kItems, footer({0, 0, 0, 0})});
  ASSERT_GT(file.size(), tail.size());
  EXPECT_EQ(Bytes(file.end() - static_cast<long>(tail.size()), file.end()), tail);
}

} // namespace
