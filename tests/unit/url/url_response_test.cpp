/* Reading response headers (Content-Range, Content-Length, Accept-Ranges,
 * Location) and mapping libcurl results to host error codes. */
#include <gtest/gtest.h>

#include "host/host_interface.h"
#include "url_response.h"

namespace {

constexpr uint64_t kNone = UINT64_MAX;

TEST(UrlResponse, ParsesContentRange) {
  struct Case { const char *value; bool ok; uint64_t first, total; } cases[] = {
      {"bytes 0-99/100", true, 0, 100},
      {"bytes 10-99/*", true, 10, kNone},
      {"bytes */100", true, kNone, 100},
      {"Bytes  5-5/6 ", true, 5, 6},
      {"bytes */*", false, 0, 0},
      {"bytes 5-4/100", false, 0, 0},
      {"bytes 0-100/100", false, 0, 0},
      {"bytes 1-2", false, 0, 0},
      {"items 0-1/2", false, 0, 0},
      {"bytes -1-2/3", false, 0, 0},
      {"bytes 0-1/x", false, 0, 0},
  };
  for (const Case &c : cases) {
    uint64_t first = 1234, total = 5678;
    EXPECT_EQ(ParseContentRange(c.value, &first, &total), c.ok) << c.value;
    if (!c.ok) continue;
    EXPECT_EQ(first, c.first) << c.value;
    EXPECT_EQ(total, c.total) << c.value;
  }
}

TEST(UrlResponse, CollectsHeadersAndForgetsThemAtTheNextStatusLine) {
  UrlResponse r;
  ResponseAddLine(r, "HTTP/1.1 302 Found\r\n");
  ResponseAddLine(r, "location: /elsewhere\r\n");
  ResponseAddLine(r, "Content-Length: 0\r\n");
  EXPECT_TRUE(r.hasLocation);
  EXPECT_EQ(r.contentLength, 0u);
  ResponseAddLine(r, "HTTP/1.1 206 Partial Content\r\n");
  EXPECT_FALSE(r.hasLocation);
  EXPECT_EQ(r.contentLength, kNone);
  ResponseAddLine(r, "ACCEPT-RANGES: bytes\r\n");
  ResponseAddLine(r, "Content-Range: bytes 100-199/200\r\n");
  ResponseAddLine(r, "Content-Length:  100 \r\n");
  ResponseAddLine(r, "X-Other: Content-Length: 5\r\n");
  EXPECT_TRUE(r.acceptRanges);
  EXPECT_TRUE(r.hasContentRange);
  EXPECT_EQ(r.rangeFirst, 100u);
  EXPECT_EQ(r.rangeTotal, 200u);
  EXPECT_EQ(r.contentLength, 100u);
}

TEST(UrlResponse, RejectsMalformedLengths) {
  const char *lines[] = {"Content-Length: -1", "Content-Length: 12a", "Content-Length:", "Content-Length: 99999999999999999999"};
  for (const char *line : lines) {
    UrlResponse r;
    ResponseAddLine(r, "Content-Length: 7");
    ResponseAddLine(r, line);
    EXPECT_EQ(r.contentLength, kNone) << line;
  }
  UrlResponse none;
  ResponseAddLine(none, "Accept-Ranges: none");
  EXPECT_FALSE(none.acceptRanges);
}

TEST(UrlResponse, MapsCurlResultsToHostErrors) {
  struct Case { CURLcode code; int32_t error; } cases[] = {
      {CURLE_OK, HOST_OK},
      {CURLE_URL_MALFORMAT, HOST_ERROR_ILLPARAM},
      {CURLE_COULDNT_CONNECT, HOST_ERROR_NONET},
      {CURLE_COULDNT_RESOLVE_HOST, HOST_ERROR_NONET},
      {CURLE_PARTIAL_FILE, HOST_ERROR_NONET},
      {CURLE_RECV_ERROR, HOST_ERROR_NONET},
      {CURLE_OPERATION_TIMEDOUT, HOST_ERROR_TIMEOUT},
      {CURLE_SSL_CONNECT_ERROR, HOST_ERROR_SSL},
      {CURLE_PEER_FAILED_VERIFICATION, HOST_ERROR_SSL},
      {CURLE_OUT_OF_MEMORY, HOST_ERROR_MEMORY},
      {CURLE_HTTP_RETURNED_ERROR, HOST_ERROR_FILEOPEN},
      {CURLE_TOO_MANY_REDIRECTS, HOST_ERROR_PROTOCOL},
      {CURLE_WEIRD_SERVER_REPLY, HOST_ERROR_PROTOCOL},
      {CURLE_UNSUPPORTED_PROTOCOL, HOST_ERROR_PROTOCOL},
  };
  for (const Case &c : cases) EXPECT_EQ(HostErrorFromCurl(c.code), c.error) << c.code;
}

}  // namespace
