/* Reading URL files from the loopback server: whole bodies in every framing,
 * with and without range support, from an offset, through a redirect; the
 * length as the server tells it or as the end reveals it. */
#include <gtest/gtest.h>

#include "url_test_support.h"

namespace {

struct ReadCase {
  const char *name;
  bool ranges;
  Framing framing;
  uint64_t size;
  uint64_t offset;
  uint32_t chunk;
};

void PrintTo(const ReadCase &row, std::ostream *out) { *out << row.name; }

class UrlRead : public testing::TestWithParam<ReadCase> {};

TEST_P(UrlRead, DeliversTheBodyFromTheOffsetToTheEnd) {
  const ReadCase &c = GetParam();
  ServerConfig config;
  config.bodySize = c.size;
  config.ranges = c.ranges;
  config.framing = c.framing;
  HttpTestServer server(config);
  UrlSourceOptions options = TestOptions();
  int32_t error = -1;
  UrlSource *source = UrlSourceOpen(server.Url().c_str(), c.offset, nullptr, nullptr, &options, &error);
  ASSERT_NE(source, nullptr) << error;
  EXPECT_EQ(error, HOST_OK);
  uint64_t expectedLength = c.size - c.offset;
  uint64_t length = UrlSourceLength(source); /* unknown until the end unless the server said */
  if (c.framing == Framing::Length) EXPECT_EQ(length, expectedLength);
  else EXPECT_TRUE(length == UINT64_MAX || length == expectedLength) << length;
  EXPECT_EQ(ReadAll(source, c.chunk), BodyBytes(c.offset, expectedLength));
  EXPECT_EQ(UrlSourceLength(source), expectedLength);
  EXPECT_EQ(UrlSourcePosition(source), expectedLength);
  EXPECT_EQ(UrlSourceDownloaded(source), expectedLength);
  UrlSourceClose(source);
}

const ReadCase kReadCases[] = {
    {"RangesSmall", true, Framing::Length, 1000, 0, 4096},
    {"RangesLongerThanWindow", true, Framing::Length, 3 * 1024 * 1024 + 17, 0, 7777},
    {"RangesFromOffset", true, Framing::Length, 300000, 1000, 65536},
    {"RangesEmptyBody", true, Framing::Length, 0, 0, 100},
    {"RangesOffsetAtEnd", true, Framing::Length, 500, 500, 100},
    {"NoRangesLongerThanWindow", false, Framing::Length, 3 * 1024 * 1024 + 17, 0, 7777},
    {"NoRangesFromOffset", false, Framing::Length, 300000, 1000, 1},
    {"NoRangesEmptyBody", false, Framing::Length, 0, 0, 100},
    {"Chunked", false, Framing::Chunked, 300000, 0, 7777},
    {"ChunkedFromOffset", false, Framing::Chunked, 300000, 123457, 7777},
    {"CloseDelimited", false, Framing::Close, 300000, 0, 100000},
};

INSTANTIATE_TEST_SUITE_P(Bodies, UrlRead, testing::ValuesIn(kReadCases),
                         CaseName());

TEST(UrlReadRedirect, FollowsARedirectToTheBody) {
  ServerConfig config;
  config.bodySize = 50000;
  HttpTestServer server(config);
  UrlSourceOptions options = TestOptions();
  int32_t error = -1;
  UrlSource *source = UrlSourceOpen(server.Url("/redirect").c_str(), 0, nullptr, nullptr, &options, &error);
  ASSERT_NE(source, nullptr) << error;
  EXPECT_EQ(UrlSourceLength(source), 50000u);
  EXPECT_EQ(ReadAll(source), BodyBytes(0, 50000));
  UrlSourceClose(source);
  EXPECT_EQ(server.Requests(), 2);
}

TEST(UrlReadOpen, AsksForARangeFromTheOffsetFirst) {
  ServerConfig config;
  config.bodySize = 5000;
  HttpTestServer server(config);
  UrlSourceOptions options = TestOptions();
  int32_t error = -1;
  UrlSource *source = UrlSourceOpen(server.Url().c_str(), 123, nullptr, nullptr, &options, &error);
  ASSERT_NE(source, nullptr) << error;
  UrlSourceStats stats{};
  UrlSourceGetStats(source, &stats);
  EXPECT_TRUE(stats.rangesAccepted);
  EXPECT_EQ(ReadSome(source, 10), BodyBytes(123, 10));
  UrlSourceClose(source);
  EXPECT_EQ(server.Ranges(), std::vector<std::string>{"bytes=123-"});
}

TEST(UrlReadUnknownLength, StaysUnknownWhileTheBodyFlows) {
  ServerConfig config;
  config.bodySize = 300000;
  config.ranges = false;
  config.framing = Framing::Chunked;
  config.stallAt = 100000;
  HttpTestServer server(config);
  UrlSourceOptions options = TestOptions();
  int32_t error = -1;
  UrlSource *source = UrlSourceOpen(server.Url().c_str(), 0, nullptr, nullptr, &options, &error);
  ASSERT_NE(source, nullptr) << error;
  EXPECT_EQ(ReadSome(source, 50000), BodyBytes(0, 50000));
  EXPECT_EQ(UrlSourceLength(source), UINT64_MAX);
  EXPECT_FALSE(UrlSourceSeek(source, UINT64_MAX));
  UrlSourceClose(source);
}

TEST(UrlReadOpen, NullOptionsAndErrorPointerAreAccepted) {
  ServerConfig config;
  config.bodySize = 100;
  HttpTestServer server(config);
  UrlSource *source = UrlSourceOpen(server.Url().c_str(), 0, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(source, nullptr);
  EXPECT_EQ(ReadAll(source), BodyBytes(0, 100));
  UrlSourceClose(source);
  UrlSourceClose(nullptr);
}

}  // namespace
