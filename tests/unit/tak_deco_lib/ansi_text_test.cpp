/* UTF-8 to Windows-1252: one row per rule, expected bytes written out. */
#include <gtest/gtest.h>

#include <string>

#include "ansi_text.h"

namespace {

struct Row {
  const char *name;
  std::string in;
  int64_t maxChars;
  std::string out;
};

const Row kRows[] = {
    {"Ascii", "Hello", -1, "Hello"},
    {"Latin1", "caf\xC3\xA9 \xC2\xA0\xC3\xBF", -1, "caf\xE9 \xA0\xFF"},
    {"Specials", "\xE2\x82\xAC\xE2\x80\x9C\xE2\x80\x9D\xC5\xA0\xE2\x84\xA2\xC5\xB8", -1,
     "\x80\x93\x94\x8A\x99\x9F"},
    {"C1ControlHasNoByte", "a\xC2\x81" "b", -1, "a*b"},
    {"CjkAndEmoji", "\xE6\x97\xA5\xF0\x9F\x98\x80", -1, "**"},
    {"StrayContinuation", "a\x80" "b", -1, "a*b"},
    {"CutSequence", "a\xE2\x82", -1, "a**"},
    {"Overlong", "\xC0\xAF", -1, "**"},
    {"Surrogate", "\xED\xA0\x80", -1, "***"},
    {"BeyondUnicode", "\xF4\x90\x80\x80", -1, "****"},
    {"ValuesJoined", std::string("one\0two\0\0three", 14), -1, "one; two; ; three"},
    {"TrailingNulEndsTheLastValue", std::string("one\0", 4), -1, "one"},
    {"MaxChars", "abcdef", 3, "abc"},
    {"MaxCharsInsideSeparator", std::string("ab\0cd", 5), 3, "ab;"},
    {"Empty", "", -1, ""},
};

class Conversion : public ::testing::TestWithParam<Row> {};

TEST_P(Conversion, GivesTheExpectedBytes) {
  const Row &row = GetParam();
  const auto *in = reinterpret_cast<const uint8_t *>(row.in.data());
  const int64_t length = Utf8ToAnsi(in, int64_t(row.in.size()), row.maxChars, '*', nullptr, 0);
  std::string out(size_t(length) + 1, '#');
  EXPECT_EQ(Utf8ToAnsi(in, int64_t(row.in.size()), row.maxChars, '*', out.data(), length + 1), length);
  EXPECT_EQ(out.back(), '\0');
  out.pop_back();
  EXPECT_EQ(out, row.out);
}

INSTANTIATE_TEST_SUITE_P(Utf8ToAnsi, Conversion, ::testing::ValuesIn(kRows),
                         [](const auto &row) { return std::string(row.param.name); });

TEST(Utf8ToAnsi, EveryWindows1252ByteRoundTrips) {
  int mapped = 0;
  for (uint32_t cp = 0; cp < 0x10000; ++cp) mapped += CodePointToAnsi(cp) >= 0 ? 1 : 0;
  EXPECT_EQ(mapped, 128 + 96 + 27); /* ASCII, A0-FF, and the 27 typographic characters */
  EXPECT_EQ(CodePointToAnsi(0x20AC), 0x80);
  EXPECT_EQ(CodePointToAnsi(0x0081), -1);
}

}  // namespace
