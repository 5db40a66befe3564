/* Seeking URL files: the pattern of a player that reads the header, the tag
 * at the end, goes back to the start and jumps around; served by ranged
 * requests where the server accepts them and by reading through otherwise.
 * Also the memory bound: the window never holds more than it may. */
#include <gtest/gtest.h>

#include "url_test_support.h"

namespace {

constexpr uint64_t kSize = 3 * 1024 * 1024 + 5;

struct Step {
  int64_t seekTo;   /* -1: no seek; otherwise a position (kSize-relative when `fromEnd`) */
  bool fromEnd;
  uint32_t read;
  bool sameRequests; /* served without a new request */
};

/* Position of a step, counted from the file's start. */
uint64_t StepPosition(const Step &step) {
  return step.fromEnd ? kSize - static_cast<uint64_t>(step.seekTo) : static_cast<uint64_t>(step.seekTo);
}

const Step kSteps[] = {
    {0, false, 1000, true},                 /* header */
    {32, true, 32, false},                  /* tag at the end */
    {0, false, 4096, false},                /* back to the start */
    {1000, false, 2000, true},              /* a little way back, in the window */
    {1500000, false, 5000, false},          /* far ahead */
    {1501000, false, 100, true},            /* back a little, in the window */
    {1500000 + 20000, false, 100, true},    /* ahead a little: read through */
    {100, true, 100000, false},             /* past the end: only 100 come */
};

class UrlSeek : public testing::TestWithParam<bool> {};

TEST_P(UrlSeek, EverySeekReadsTheRightBytes) {
  bool ranges = GetParam();
  ServerConfig config;
  config.bodySize = kSize;
  config.ranges = ranges;
  HttpTestServer server(config);
  UrlSourceOptions options = TestOptions(256 * 1024);
  int32_t error = -1;
  UrlSource *source = UrlSourceOpen(server.Url().c_str(), 0, nullptr, nullptr, &options, &error);
  ASSERT_NE(source, nullptr) << error;
  uint64_t position = 0;
  for (const Step &step : kSteps) {
    UrlSourceStats before{}, after{};
    UrlSourceGetStats(source, &before);
    position = StepPosition(step);
    ASSERT_TRUE(UrlSourceSeek(source, position)) << position;
    EXPECT_EQ(UrlSourcePosition(source), position);
    uint64_t expected = std::min<uint64_t>(step.read, kSize - position);
    EXPECT_EQ(ReadSome(source, step.read), BodyBytes(position, expected)) << position;
    UrlSourceGetStats(source, &after);
    if (step.sameRequests) {
      EXPECT_EQ(after.requests, before.requests) << position;
    }
    position += expected;
  }
  EXPECT_TRUE(UrlSourceSeek(source, kSize));
  EXPECT_EQ(ReadSome(source, 10).size(), 0u);
  EXPECT_FALSE(UrlSourceSeek(source, kSize + 1));
  EXPECT_EQ(UrlSourcePosition(source), kSize);
  UrlSourceClose(source);

  /* With ranges, far seeks ask for exactly their position; without, the
   * server is never asked for anything but the first probe. */
  std::vector<std::string> asked = server.Ranges();
  if (ranges) {
    EXPECT_NE(std::find(asked.begin(), asked.end(), "bytes=" + std::to_string(kSize - 32) + "-"), asked.end());
    EXPECT_NE(std::find(asked.begin(), asked.end(), "bytes=1500000-"), asked.end());
  } else {
    for (size_t i = 1; i < asked.size(); i++) EXPECT_EQ(asked[i], "") << i;
  }
}

INSTANTIATE_TEST_SUITE_P(Servers, UrlSeek, testing::Values(true, false),
                         [](const testing::TestParamInfo<bool> &p) { return p.param ? "Ranges" : "NoRanges"; });

TEST(UrlSeekOffset, PositionsCountFromTheOffset) {
  ServerConfig config;
  config.bodySize = 200000;
  HttpTestServer server(config);
  UrlSourceOptions options = TestOptions();
  int32_t error = -1;
  UrlSource *source = UrlSourceOpen(server.Url().c_str(), 70000, nullptr, nullptr, &options, &error);
  ASSERT_NE(source, nullptr) << error;
  EXPECT_EQ(UrlSourceLength(source), 130000u);
  ASSERT_TRUE(UrlSourceSeek(source, 129990));
  EXPECT_EQ(ReadAll(source), BodyBytes(199990, 10));
  ASSERT_TRUE(UrlSourceSeek(source, 5));
  EXPECT_EQ(ReadSome(source, 10), BodyBytes(70005, 10));
  EXPECT_FALSE(UrlSourceSeek(source, 130001));
  UrlSourceClose(source);
}

TEST(UrlSeekUnknownLength, BackwardSeekStartsAgainAndEndIsLearnt) {
  ServerConfig config;
  config.bodySize = 400000;
  config.ranges = false;
  config.framing = Framing::Chunked;
  HttpTestServer server(config);
  UrlSourceOptions options = TestOptions(64 * 1024);
  int32_t error = -1;
  UrlSource *source = UrlSourceOpen(server.Url().c_str(), 0, nullptr, nullptr, &options, &error);
  ASSERT_NE(source, nullptr) << error;
  ASSERT_TRUE(UrlSourceSeek(source, 300000));
  EXPECT_EQ(ReadSome(source, 1000), BodyBytes(300000, 1000));
  ASSERT_TRUE(UrlSourceSeek(source, 10));
  EXPECT_EQ(ReadAll(source), BodyBytes(10, 400000 - 10));
  EXPECT_EQ(UrlSourceLength(source), 400000u);
  UrlSourceClose(source);
  EXPECT_EQ(server.Requests(), 2);
}

/* The window bounds what a source holds, whatever the file's length. */
struct WindowCase {
  const char *name;
  bool ranges;
  uint64_t size;
  uint32_t window;
  uint64_t bound;  /* the most the source may hold */
};

void PrintTo(const WindowCase &row, std::ostream *out) { *out << row.name; }

class UrlWindowBound : public testing::TestWithParam<WindowCase> {};

TEST_P(UrlWindowBound, HoldsNoMoreThanTheWindowOrTheFile) {
  const WindowCase &c = GetParam();
  ServerConfig config;
  config.bodySize = c.size;
  config.ranges = c.ranges;
  HttpTestServer server(config);
  UrlSourceOptions options = TestOptions(c.window);
  int32_t error = -1;
  UrlSource *source = UrlSourceOpen(server.Url().c_str(), 0, nullptr, nullptr, &options, &error);
  ASSERT_NE(source, nullptr) << error;
  std::vector<uint8_t> buffer(10000);
  uint64_t position = 0, worst = 0;
  bool steppedBack = false;
  while (uint32_t got = UrlSourceRead(source, buffer.data(), 10000)) {
    ASSERT_TRUE(std::equal(buffer.begin(), buffer.begin() + got, BodyBytes(position, got).begin())) << position;
    position += got;
    UrlSourceStats stats{};
    UrlSourceGetStats(source, &stats);
    worst = std::max(worst, stats.held);
    if (!steppedBack && position >= 200000 && position < c.size) { /* a step back */
      steppedBack = true;
      position -= 10000;
      ASSERT_TRUE(UrlSourceSeek(source, position));
    }
  }
  EXPECT_EQ(position, c.size);
  UrlSourceStats stats{};
  UrlSourceGetStats(source, &stats);
  EXPECT_LE(stats.peakHeld, c.bound);
  EXPECT_LE(stats.capacity, c.bound);
  EXPECT_LE(worst, c.bound);
  EXPECT_GT(stats.peakHeld, 0u);
  UrlSourceClose(source);
}

const WindowCase kWindowCases[] = {
    {"RangesSmallWindow", true, 8u << 20, 64u << 10, 64u << 10},
    {"NoRangesSmallWindow", false, 8u << 20, 64u << 10, 64u << 10},
    {"RangesDefaultWindow", true, 8u << 20, 0, 1u << 20},
    {"TinyWindowCountsAsMinimum", true, 1u << 20, 1000, 64u << 10},
    {"FileShorterThanWindow", true, 5000, 1u << 20, 5000},
};

INSTANTIATE_TEST_SUITE_P(Windows, UrlWindowBound, testing::ValuesIn(kWindowCases),
                         CaseName());

}  // namespace
