/* Configuration: the host's own network options, and the handlers that
 * RegisterConfigHandler (slot 1) adds and removes. */
#include <gtest/gtest.h>

#include "host_test_support.h"

namespace {
constexpr uint32_t kTestOption = 0x4242;
uint32_t cell = 0;
int calls = 0;
uint32_t lastFlags = 0;

HostBool VARDEK_CALL TestHandler(uint32_t option, uint32_t flags, void *value) {
  ++calls;
  lastFlags = flags;
  if (option != kTestOption) return 0;
  if (flags & HOST_CONFIG_SET) cell = *static_cast<uint32_t *>(value);
  else *static_cast<uint32_t *>(value) = cell;
  return 1;
}

class HostConfig : public testing::Test {
 protected:
  void SetUp() override { calls = 0, cell = 0; }
  void TearDown() override { _.RegisterConfigHandler(TestHandler, 1); }
};

TEST_F(HostConfig, NetworkTimeoutDefaultsToFiveSecondsAndCanChange) {
  EXPECT_EQ(BASS_GetConfig(BASS_CONFIG_NET_TIMEOUT), 5000u);
  EXPECT_TRUE(BASS_SetConfig(BASS_CONFIG_NET_TIMEOUT, 1234));
  EXPECT_EQ(BASS_GetConfig(BASS_CONFIG_NET_TIMEOUT), 1234u);
  EXPECT_EQ(BASS_ErrorGetCode(), HOST_OK);
  BASS_SetConfig(BASS_CONFIG_NET_TIMEOUT, 5000);
}

TEST_F(HostConfig, UnservedOptionIsAnIllegalParameter) {
  EXPECT_FALSE(BASS_SetConfig(kTestOption, 1));
  EXPECT_EQ(BASS_ErrorGetCode(), HOST_ERROR_ILLPARAM);
  EXPECT_EQ(BASS_GetConfig(kTestOption), 0xFFFFFFFFu);
  EXPECT_EQ(BASS_ErrorGetCode(), HOST_ERROR_ILLPARAM);
}

TEST_F(HostConfig, RegisteredHandlerServesSetAndGet) {
  _.RegisterConfigHandler(TestHandler, 0);
  EXPECT_TRUE(BASS_SetConfig(kTestOption, 7));
  EXPECT_EQ(lastFlags, HOST_CONFIG_SET);
  EXPECT_EQ(cell, 7u);
  EXPECT_EQ(BASS_GetConfig(kTestOption), 7u);
  EXPECT_EQ(lastFlags, 0u);
  EXPECT_EQ(BASS_ErrorGetCode(), HOST_OK);
}

TEST_F(HostConfig, AddingTwiceRegistersOnce) {
  _.RegisterConfigHandler(TestHandler, 0);
  _.RegisterConfigHandler(TestHandler, 0);
  BASS_GetConfig(kTestOption + 1); /* unhandled: every handler is asked */
  EXPECT_EQ(calls, 1);
}

TEST_F(HostConfig, RemovedHandlerIsNoLongerAskedAndRemovingAgainIsHarmless) {
  _.RegisterConfigHandler(TestHandler, 0);
  _.RegisterConfigHandler(TestHandler, 1);
  _.RegisterConfigHandler(TestHandler, 1);
  EXPECT_FALSE(BASS_SetConfig(kTestOption, 3));
  EXPECT_EQ(calls, 0);
}

TEST_F(HostConfig, HostOptionsAreNotPassedToHandlers) {
  _.RegisterConfigHandler(TestHandler, 0);
  BASS_GetConfig(BASS_CONFIG_NET_TIMEOUT);
  EXPECT_EQ(calls, 0);
}
}  // namespace
