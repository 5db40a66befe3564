/* The per-thread error code: ReportError (slot 0) sets it for the calling
 * thread only, and BASS_ErrorGetCode reads it back. */
#include <gtest/gtest.h>

#include <thread>

#include "host_test_support.h"

namespace {
TEST(HostErrors, EachThreadReadsItsOwnCode) {
  _.ReportError(HOST_ERROR_FILEFORM);
  int32_t seenByOther = -2;
  std::thread other([&] {
    seenByOther = BASS_ErrorGetCode();
    _.ReportError(HOST_ERROR_POSITION);
  });
  other.join();
  EXPECT_EQ(seenByOther, HOST_OK);
  EXPECT_EQ(BASS_ErrorGetCode(), HOST_ERROR_FILEFORM);
  _.ReportError(HOST_OK);
  EXPECT_EQ(BASS_ErrorGetCode(), HOST_OK);
}

TEST(HostErrors, CodesHaveTheirMeaning) {
  EXPECT_STREQ(BASS_ErrorGetText(HOST_ERROR_FILEFORM), "not a file format that can be played");
  EXPECT_STREQ(BASS_ErrorGetText(HOST_ERROR_ENDED), "the channel has ended");
  EXPECT_STREQ(BASS_ErrorGetText(12345), "unknown error");
}

TEST(HostErrors, VersionIsTwoFour) { EXPECT_EQ(BASS_GetVersion() >> 16, 0x0204u); }
}  // namespace
