/* Helpers shared by the URL source tests: options with a short timeout,
 * reading a source to its end, and a download procedure that records what
 * it is given. */
#ifndef VARDEK_URL_TEST_SUPPORT_H
#define VARDEK_URL_TEST_SUPPORT_H

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "http_test_server.h"
#include "url_source.h"

/* Tests that wait for a stall or a silent server to time out use the short
 * timeout; every other test uses the patient one, so that a busy machine
 * never turns a slow loopback transfer into a spurious short read. */
constexpr uint32_t kShortTimeoutMs = 1000;
constexpr uint32_t kPatientTimeoutMs = 20000;

inline UrlSourceOptions TestOptions(uint32_t windowBytes = 0, uint32_t timeoutMs = kPatientTimeoutMs) {
  return {timeoutMs, windowBytes};
}

/* Names a parameterised case after its row's `name`. */
struct CaseName {
  template <class Row>
  std::string operator()(const testing::TestParamInfo<Row> &row) const {
    return row.param.name;
  }
};

/* Reads in `chunk`-byte steps until a read returns nothing. */
inline std::vector<uint8_t> ReadAll(UrlSource *source, uint32_t chunk = 7777) {
  std::vector<uint8_t> all, buffer(chunk);
  while (uint32_t got = UrlSourceRead(source, buffer.data(), chunk)) all.insert(all.end(), buffer.begin(), buffer.begin() + got);
  return all;
}

inline std::vector<uint8_t> ReadSome(UrlSource *source, uint32_t count) {
  std::vector<uint8_t> buffer(count);
  buffer.resize(UrlSourceRead(source, buffer.data(), count));
  return buffer;
}

/* What a download procedure received: the bytes, the number of final
 * (null, 0) calls, and whether bytes came after a final call. */
struct ProcLog {
  std::mutex lock;
  std::vector<uint8_t> bytes;
  int finals = 0;
  bool bytesAfterFinal = false;
};

inline void VARDEK_CALL RecordDownload(const void *buffer, uint32_t length, void *user) {
  auto *log = static_cast<ProcLog *>(user);
  std::lock_guard<std::mutex> hold(log->lock);
  if (!buffer) {
    log->finals++;
    return;
  }
  if (log->finals > 0) log->bytesAfterFinal = true;
  auto *bytes = static_cast<const uint8_t *>(buffer);
  log->bytes.insert(log->bytes.end(), bytes, bytes + length);
}

#endif
