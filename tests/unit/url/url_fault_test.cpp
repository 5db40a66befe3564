/* URL files that go wrong: refused at open with a clear error code, or cut
 * short during reading with a clean early end; closing in the middle of a
 * transfer or a stall. Every case must return (ctest's timeout would catch
 * a hang); none may call the download procedure for a failed open. */
#include <gtest/gtest.h>

#include "url_test_support.h"

namespace {

struct OpenFault {
  const char *name;
  ServerConfig config;
  const char *scheme;   /* replaces "http" in the server's URL, or null */
  const char *url;      /* a fixed URL instead of the server's, or null */
  uint64_t offset;
  int32_t error;
};

void PrintTo(const OpenFault &row, std::ostream *out) { *out << row.name; }

ServerConfig Config(uint64_t size) {
  ServerConfig config;
  config.bodySize = size;
  return config;
}

ServerConfig With(ServerConfig config, void (*change)(ServerConfig &)) {
  change(config);
  return config;
}

const OpenFault kOpenFaults[] = {
    {"NotFound", With(Config(100), [](ServerConfig &c) { c.status = 404; }), nullptr, nullptr, 0, HOST_ERROR_FILEOPEN},
    {"ServerError", With(Config(100), [](ServerConfig &c) { c.status = 500; }), nullptr, nullptr, 0, HOST_ERROR_FILEOPEN},
    {"Forbidden", With(Config(100), [](ServerConfig &c) { c.status = 403; }), nullptr, nullptr, 0, HOST_ERROR_FILEOPEN},
    {"SilentServer", With(Config(100), [](ServerConfig &c) { c.silent = true; }), nullptr, nullptr, 0, HOST_ERROR_TIMEOUT},
    {"NotHttp", With(Config(100), [](ServerConfig &c) { c.garbage = true; }), nullptr, nullptr, 0, HOST_ERROR_PROTOCOL},
    {"TlsToPlainServer", Config(100), "https", nullptr, 0, HOST_ERROR_SSL},
    {"OffsetPastEndRanges", Config(100), nullptr, nullptr, 101, HOST_ERROR_POSITION},
    {"OffsetPastEndNoRanges", With(Config(100), [](ServerConfig &c) { c.ranges = false; }), nullptr, nullptr, 101,
     HOST_ERROR_POSITION},
    {"OtherScheme", Config(100), nullptr, "ftp://127.0.0.1/file", 0, HOST_ERROR_ILLPARAM},
    {"NotAUrl", Config(100), nullptr, "no url at all", 0, HOST_ERROR_ILLPARAM},
    {"EmptyUrl", Config(100), nullptr, "", 0, HOST_ERROR_ILLPARAM},
};

class UrlOpenFault : public testing::TestWithParam<OpenFault> {};

TEST_P(UrlOpenFault, FailsWithItsCodeAndNoDownloadCalls) {
  const OpenFault &c = GetParam();
  HttpTestServer server(c.config);
  std::string url = c.url ? c.url : server.Url();
  if (c.scheme) url = c.scheme + url.substr(4);
  ProcLog log;
  UrlSourceOptions options = TestOptions(0, c.config.silent ? kShortTimeoutMs : kPatientTimeoutMs);
  int32_t error = -1;
  UrlSource *source = UrlSourceOpen(url.c_str(), c.offset, RecordDownload, &log, &options, &error);
  EXPECT_EQ(source, nullptr);
  EXPECT_EQ(error, c.error);
  UrlSourceClose(source);
  EXPECT_EQ(log.finals, 0);
  EXPECT_TRUE(log.bytes.empty());
}

INSTANTIATE_TEST_SUITE_P(Faults, UrlOpenFault, testing::ValuesIn(kOpenFaults),
                         CaseName());

TEST(UrlOpenFaultNoServer, RefusedConnectionIsNoNet) {
  std::string url = "http://127.0.0.1:" + std::to_string(ClosedPort()) + "/file";
  UrlSourceOptions options = TestOptions();
  int32_t error = -1;
  EXPECT_EQ(UrlSourceOpen(url.c_str(), 0, nullptr, nullptr, &options, &error), nullptr);
  EXPECT_EQ(error, HOST_ERROR_NONET);
}

/* Faults after the headers: the reader gets exactly the bytes that came,
 * then reads return nothing, and the download procedure ends once. */
struct PlayFault {
  const char *name;
  ServerConfig config;
  uint64_t delivered;
};

void PrintTo(const PlayFault &row, std::ostream *out) { *out << row.name; }

const PlayFault kPlayFaults[] = {
    {"DropRanges", With(Config(500000), [](ServerConfig &c) { c.dropAt = 123456; }), 123456},
    {"DropNoRanges", With(Config(500000), [](ServerConfig &c) { c.dropAt = 123456; c.ranges = false; }), 123456},
    {"DropChunked", With(Config(500000), [](ServerConfig &c) { c.dropAt = 123456; c.ranges = false; c.framing = Framing::Chunked; }), 123456},
    {"DropBeforeBody", With(Config(500000), [](ServerConfig &c) { c.dropAt = 0; }), 0},
    {"StallRanges", With(Config(500000), [](ServerConfig &c) { c.stallAt = 200000; }), 200000},
    {"StallNoRanges", With(Config(500000), [](ServerConfig &c) { c.stallAt = 200000; c.ranges = false; }), 200000},
    {"StallBeforeBody", With(Config(500000), [](ServerConfig &c) { c.stallAt = 0; }), 0},
    {"StallCloseDelimited", With(Config(500000), [](ServerConfig &c) { c.stallAt = 1; c.ranges = false; c.framing = Framing::Close; }), 1},
};

class UrlPlayFault : public testing::TestWithParam<PlayFault> {};

TEST_P(UrlPlayFault, EndsEarlyAndCleanly) {
  const PlayFault &c = GetParam();
  HttpTestServer server(c.config);
  ProcLog log;
  bool stalls = c.config.stallAt != UINT64_MAX;
  UrlSourceOptions options = TestOptions(64 * 1024, stalls ? kShortTimeoutMs : kPatientTimeoutMs);
  int32_t error = -1;
  UrlSource *source = UrlSourceOpen(server.Url().c_str(), 0, RecordDownload, &log, &options, &error);
  ASSERT_NE(source, nullptr) << error;
  EXPECT_EQ(ReadAll(source), BodyBytes(0, c.delivered));
  EXPECT_EQ(ReadSome(source, 100).size(), 0u);
  UrlSourceClose(source);
  EXPECT_EQ(log.bytes, BodyBytes(0, c.delivered));
  EXPECT_EQ(log.finals, 1);
  EXPECT_FALSE(log.bytesAfterFinal);
}

INSTANTIATE_TEST_SUITE_P(Faults, UrlPlayFault, testing::ValuesIn(kPlayFaults),
                         CaseName());

TEST(UrlPlayFaultRecovery, SeekAfterADropAsksAgain) {
  ServerConfig config = Config(500000);
  config.dropAt = 100000;
  HttpTestServer server(config);
  UrlSourceOptions options = TestOptions(64 * 1024);
  int32_t error = -1;
  UrlSource *source = UrlSourceOpen(server.Url().c_str(), 0, nullptr, nullptr, &options, &error);
  ASSERT_NE(source, nullptr) << error;
  EXPECT_EQ(ReadAll(source).size(), 100000u);
  ASSERT_TRUE(UrlSourceSeek(source, 100000));
  EXPECT_EQ(ReadSome(source, 10).size(), 0u); /* the server drops there again */
  ASSERT_TRUE(UrlSourceSeek(source, 50));
  EXPECT_EQ(ReadSome(source, 10), BodyBytes(50, 10));
  UrlSourceClose(source);
  EXPECT_GE(server.Requests(), 3);
}

/* Closing while the transfer runs, waits for room, or stalls. */
struct CloseCase {
  const char *name;
  ServerConfig config;
  uint32_t readFirst;
};

void PrintTo(const CloseCase &row, std::ostream *out) { *out << row.name; }

const CloseCase kCloseCases[] = {
    {"RightAfterOpen", Config(16u << 20), 0},
    {"WindowFull", Config(16u << 20), 10},
    {"NoRangesMidBody", With(Config(16u << 20), [](ServerConfig &c) { c.ranges = false; }), 100000},
    {"DuringStall", With(Config(1u << 20), [](ServerConfig &c) { c.stallAt = 30000; }), 30000},
    {"ChunkedMidBody", With(Config(16u << 20), [](ServerConfig &c) { c.framing = Framing::Chunked; c.ranges = false; }), 5},
};

class UrlClose : public testing::TestWithParam<CloseCase> {};

TEST_P(UrlClose, ReturnsAndEndsTheDownloadOnce) {
  const CloseCase &c = GetParam();
  HttpTestServer server(c.config);
  ProcLog log;
  UrlSourceOptions options = TestOptions(64 * 1024);
  int32_t error = -1;
  UrlSource *source = UrlSourceOpen(server.Url().c_str(), 0, RecordDownload, &log, &options, &error);
  ASSERT_NE(source, nullptr) << error;
  EXPECT_EQ(ReadSome(source, c.readFirst), BodyBytes(0, c.readFirst));
  UrlSourceClose(source);
  std::lock_guard<std::mutex> hold(log.lock);
  EXPECT_EQ(log.finals, 1);
  EXPECT_GE(log.bytes.size(), c.readFirst);
  EXPECT_LT(log.bytes.size(), c.config.bodySize);
  EXPECT_EQ(log.bytes, BodyBytes(0, log.bytes.size()));
}

INSTANTIATE_TEST_SUITE_P(Transfers, UrlClose, testing::ValuesIn(kCloseCases),
                         CaseName());

}  // namespace
