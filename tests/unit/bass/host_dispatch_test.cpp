/* Plug-in loading and stream dispatch: BASS_PluginLoad/Free/GetInfo, and
 * BASS_StreamCreateFile/FileUser offering a file to the loaded plug-ins in
 * order, through the plug-in doubles of fake_plugin.cpp. */
#include <dlfcn.h>
#include <gtest/gtest.h>

#include "host_test_support.h"

namespace {
/* Reads one of a loaded double's counters (FakeLiveStreams, FakeOverlaps). */
int FakeCounter(const char *library, const char *counter) {
  void *handle = dlopen(library, RTLD_NOW | RTLD_NOLOAD);
  if (!handle) return -1;
  auto read = reinterpret_cast<int (*)()>(dlsym(handle, counter));
  int value = read ? read() : -1;
  dlclose(handle);
  return value;
}

class HostDispatch : public testing::Test {
 protected:
  void TearDown() override {
    BASS_PluginFree(0);
    EXPECT_EQ(BASS_GetOpenFileCount(), 0u);
  }
};

TEST_F(HostDispatch, LoadGivesTheFormatListAndTheSameHandleTwice) {
  HostPlugin plugin = BASS_PluginLoad(FAKE_PLUGIN_A, 0);
  ASSERT_NE(plugin, 0u) << BASS_ErrorGetCode();
  EXPECT_EQ(BASS_PluginLoad(FAKE_PLUGIN_A, 0), plugin);
  const PluginInfo *info = BASS_PluginGetInfo(plugin);
  ASSERT_NE(info, nullptr);
  ASSERT_EQ(info->formatc, 1u);
  EXPECT_EQ(info->formats[0].ctype, 0x12345u);
  EXPECT_STREQ(info->formats[0].exts, "*.fake");
}

TEST_F(HostDispatch, LoadRefusalsNameTheirReason) {
  TempFile notALibrary(Ramp(100));
  const struct { const char *file; int32_t code; } cases[] = {
      {notALibrary.path(), HOST_ERROR_FILEOPEN},
      {FAKE_NO_ENTRY, HOST_ERROR_FILEFORM},
      {FAKE_PLUGIN_OLD, HOST_ERROR_VERSION},
      {nullptr, HOST_ERROR_ILLPARAM},
  };
  for (const auto &c : cases) {
    EXPECT_EQ(BASS_PluginLoad(c.file, 0), 0u);
    EXPECT_EQ(BASS_ErrorGetCode(), c.code) << (c.file ? c.file : "null");
  }
  EXPECT_EQ(BASS_PluginGetInfo(99), nullptr);
  EXPECT_EQ(BASS_ErrorGetCode(), HOST_ERROR_HANDLE);
  EXPECT_FALSE(BASS_PluginFree(99));
}

TEST_F(HostDispatch, PluginsAreTriedInLoadOrder) {
  HostPlugin a = BASS_PluginLoad(FAKE_PLUGIN_A, 0);
  HostPlugin b = BASS_PluginLoad(FAKE_PLUGIN_B, 0);
  TempFile forB(FakeFile("FAK2", 8000, 1, CountingSamples(10)));
  HostStream stream = BASS_StreamCreateFile(0, forB.path(), 0, 0, 0);
  ASSERT_NE(stream, 0u) << BASS_ErrorGetCode();
  HostChannelInfo info{};
  ASSERT_TRUE(BASS_ChannelGetInfo(stream, &info));
  EXPECT_EQ(info.plugin, b);
  EXPECT_NE(info.plugin, a);
  EXPECT_TRUE(BASS_StreamFree(stream));
}

TEST_F(HostDispatch, FileNoPluginTakesIsClosedWithFileFormError) {
  BASS_PluginLoad(FAKE_PLUGIN_A, 0);
  TempFile other(Ramp(64));
  Bytes memory = Ramp(64);
  EXPECT_EQ(BASS_StreamCreateFile(0, other.path(), 0, 0, 0), 0u);
  EXPECT_EQ(BASS_ErrorGetCode(), HOST_ERROR_FILEFORM);
  EXPECT_EQ(BASS_StreamCreateFile(1, memory.data(), 0, memory.size(), 0), 0u);
  EXPECT_EQ(BASS_ErrorGetCode(), HOST_ERROR_FILEFORM);
  EXPECT_EQ(BASS_GetOpenFileCount(), 0u);
}

TEST_F(HostDispatch, NoPluginLoadedMeansFileFormError) {
  TempFile fake(FakeFile("FAKE", 8000, 1, CountingSamples(10)));
  EXPECT_EQ(BASS_StreamCreateFile(0, fake.path(), 0, 0, 0), 0u);
  EXPECT_EQ(BASS_ErrorGetCode(), HOST_ERROR_FILEFORM);
}

TEST_F(HostDispatch, OpenFailureKeepsTheHostsCode) {
  BASS_PluginLoad(FAKE_PLUGIN_A, 0);
  TempFile fake(FakeFile("FAKE", 8000, 1, CountingSamples(10)));
  std::string missing = std::string(fake.path()) + ".missing";
  EXPECT_EQ(BASS_StreamCreateFile(0, missing.c_str(), 0, 0, 0), 0u);
  EXPECT_EQ(BASS_ErrorGetCode(), HOST_ERROR_FILEOPEN);
  EXPECT_EQ(BASS_StreamCreateFileUser(HOST_FILE_SYSTEM_BUFFER, 0, nullptr, nullptr), 0u);
  EXPECT_EQ(BASS_ErrorGetCode(), HOST_ERROR_NOTAVAIL);
}

TEST_F(HostDispatch, StreamFreeReleasesThenClosesTheFile) {
  BASS_PluginLoad(FAKE_PLUGIN_A, 0);
  TempFile fake(FakeFile("FAKE", 8000, 1, CountingSamples(10)));
  HostStream stream = BASS_StreamCreateFile(0, fake.path(), 0, 0, 0);
  ASSERT_NE(stream, 0u);
  EXPECT_EQ(FakeCounter(FAKE_PLUGIN_A, "FakeLiveStreams"), 1);
  EXPECT_EQ(BASS_GetOpenFileCount(), 1u);
  EXPECT_TRUE(BASS_StreamFree(stream));
  EXPECT_EQ(FakeCounter(FAKE_PLUGIN_A, "FakeLiveStreams"), 0);
  EXPECT_EQ(BASS_GetOpenFileCount(), 0u);
  EXPECT_FALSE(BASS_StreamFree(stream));
  EXPECT_EQ(BASS_ErrorGetCode(), HOST_ERROR_HANDLE);
}

TEST_F(HostDispatch, FreeingAPluginFreesItsStreamsAndItsConfigHandler) {
  HostPlugin plugin = BASS_PluginLoad(FAKE_PLUGIN_A, 0);
  EXPECT_EQ(BASS_GetConfig(0x12300), 77u) << "the double's handler serves 0x12300";
  TempFile fake(FakeFile("FAKE", 8000, 1, CountingSamples(10)));
  HostStream stream = BASS_StreamCreateFile(0, fake.path(), 0, 0, 0);
  ASSERT_NE(stream, 0u);
  EXPECT_TRUE(BASS_PluginFree(plugin));
  EXPECT_EQ(BASS_ChannelGetLength(stream, 0), UINT64_MAX);
  EXPECT_EQ(BASS_ErrorGetCode(), HOST_ERROR_HANDLE);
  EXPECT_EQ(BASS_GetConfig(0x12300), 0xFFFFFFFFu);
  EXPECT_EQ(BASS_GetOpenFileCount(), 0u);
}
}  // namespace
