/* The download procedure: it sees the body from the offset, in order and
 * exactly once, then one final (null, 0) call; seeks that jump away and back
 * neither repeat nor skip bytes. */
#include <gtest/gtest.h>

#include "url_test_support.h"

namespace {

struct ProcCase {
  const char *name;
  bool ranges;
  Framing framing;
  uint64_t offset;
  bool jumpAround;  /* read a little, seek to the end and back, then read all */
};

void PrintTo(const ProcCase &row, std::ostream *out) { *out << row.name; }

class UrlDownloadProc : public testing::TestWithParam<ProcCase> {};

TEST_P(UrlDownloadProc, SeesTheWholeBodyThenOneFinalCall) {
  const ProcCase &c = GetParam();
  constexpr uint64_t kSize = 700000;
  ServerConfig config;
  config.bodySize = kSize;
  config.ranges = c.ranges;
  config.framing = c.framing;
  HttpTestServer server(config);
  ProcLog log;
  UrlSourceOptions options = TestOptions(64 * 1024);
  int32_t error = -1;
  UrlSource *source = UrlSourceOpen(server.Url().c_str(), c.offset, RecordDownload, &log, &options, &error);
  ASSERT_NE(source, nullptr) << error;
  uint64_t length = kSize - c.offset;
  if (c.jumpAround) {
    EXPECT_EQ(ReadSome(source, 100), BodyBytes(c.offset, 100));
    ASSERT_TRUE(UrlSourceSeek(source, length - 40));
    EXPECT_EQ(ReadAll(source), BodyBytes(kSize - 40, 40));
    ASSERT_TRUE(UrlSourceSeek(source, 0));
  }
  EXPECT_EQ(ReadAll(source), BodyBytes(c.offset, length));
  UrlSourceClose(source);
  EXPECT_EQ(log.bytes, BodyBytes(c.offset, length));
  EXPECT_EQ(log.finals, 1);
  EXPECT_FALSE(log.bytesAfterFinal);
}

const ProcCase kProcCases[] = {
    {"Ranges", true, Framing::Length, 0, false},
    {"RangesFromOffset", true, Framing::Length, 4321, false},
    {"NoRanges", false, Framing::Length, 0, false},
    {"NoRangesFromOffset", false, Framing::Length, 4321, false},
    {"Chunked", false, Framing::Chunked, 0, false},
    {"RangesJumpingAround", true, Framing::Length, 0, true},
    {"NoRangesJumpingAround", false, Framing::Length, 99, true},
};

INSTANTIATE_TEST_SUITE_P(Downloads, UrlDownloadProc, testing::ValuesIn(kProcCases),
                         CaseName());

TEST(UrlDownloadProcEnd, FinalCallComesWhenTheBodyEndsNotAtClose) {
  ServerConfig config;
  config.bodySize = 1000;
  HttpTestServer server(config);
  ProcLog log;
  UrlSourceOptions options = TestOptions();
  int32_t error = -1;
  UrlSource *source = UrlSourceOpen(server.Url().c_str(), 0, RecordDownload, &log, &options, &error);
  ASSERT_NE(source, nullptr) << error;
  EXPECT_EQ(ReadAll(source).size(), 1000u);
  int finalsBeforeClose = 0;
  for (int i = 0; i < 200 && finalsBeforeClose == 0; i++) { /* the final call follows the last bytes */
    {
      std::lock_guard<std::mutex> hold(log.lock);
      finalsBeforeClose = log.finals;
    }
    if (finalsBeforeClose == 0) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  EXPECT_EQ(finalsBeforeClose, 1);
  UrlSourceClose(source);
  EXPECT_EQ(log.finals, 1);
}

}  // namespace
