/* vardek.dll as Windows loads it: DllMain's version check with the host double
 * as bass.dll and the decoder double as tak_deco_lib.dll, the message box on a
 * refused host (caught in-process, see message_box_hook.h), registering and
 * removing the configuration handler, the undecorated exports, and the heap a
 * stream is allocated from. */
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "decoder_double.h"
#include "host_double.h"
#include "message_box_hook.h"
#include "stream/tak_stream.h"

namespace {

using EntryProc = const void *(VARDEK_CALL *)(uint32_t);
using CreateFileProc = HostStream(VARDEK_CALL *)(HostBool, const void *, uint32_t, uint32_t, uint32_t);

std::vector<HostDoubleCall> Registrations(uint32_t from = 0) {
  std::vector<HostDoubleCall> found;
  HostDoubleCall call;
  for (uint32_t i = from; i < HostDouble_CallTotal(); ++i)
    if (HostDouble_GetCall(i, &call) && call.slot == HD_REGISTER_CONFIG_HANDLER) found.push_back(call);
  return found;
}

/* An export of the loaded plug-in as the procedure type it is. */
template <typename P>
P Export(HMODULE module, const char *name) {
  return reinterpret_cast<P>(reinterpret_cast<void *>(GetProcAddress(module, name)));
}

HostConfigHandler HandlerOf(const HostDoubleCall &call) {
  return reinterpret_cast<HostConfigHandler>(uintptr_t(call.args[0]));
}

class DllTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(HookMessageBoxA());
    ClearCaughtMessageBoxes();
    HostDouble_Reset();
    DecoderDouble_Reset();
  }
  void TearDown() override {
    if (module_) FreeLibrary(module_);
  }
  HMODULE Load(uint32_t version) {
    HostDouble_SetVersion(version);
    module_ = LoadLibraryA("vardek.dll");
    return module_;
  }
  HMODULE module_ = nullptr;
};

std::string VersionName(const ::testing::TestParamInfo<uint32_t> &param) {
  char name[16];
  std::snprintf(name, sizeof name, "v%08X", unsigned(param.param));
  return name;
}

// ---- accepted hosts ----

class AcceptedHostTest : public DllTest, public ::testing::WithParamInterface<uint32_t> {};

TEST_P(AcceptedHostTest, LoadsAndRegistersTheHandler) {
  ASSERT_NE(Load(GetParam()), nullptr) << GetLastError();
  EXPECT_TRUE(CaughtMessageBoxes().empty());
  const auto calls = Registrations();
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].args[1], 0u);
  uint32_t value = 0;
  EXPECT_TRUE(HandlerOf(calls[0])(0x11000, 0, &value));
  EXPECT_EQ(value, 44100u);
}

TEST_P(AcceptedHostTest, UnloadingRemovesTheSameHandler) {
  ASSERT_NE(Load(GetParam()), nullptr);
  const uint32_t mark = HostDouble_CallTotal();
  ASSERT_TRUE(FreeLibrary(module_));
  module_ = nullptr;
  const auto removals = Registrations(mark);
  ASSERT_EQ(removals.size(), 1u);
  EXPECT_EQ(removals[0].args[1], 1u);
  EXPECT_EQ(removals[0].args[0], Registrations()[0].args[0]);
}

INSTANTIATE_TEST_SUITE_P(Versions, AcceptedHostTest,
                         ::testing::Values(0x02040000u, 0x02040011u, 0x0204FFFFu), VersionName);

// ---- refused hosts ----

class RefusedHostTest : public DllTest, public ::testing::WithParamInterface<uint32_t> {};

TEST_P(RefusedHostTest, LoadFailsWithTheMessageAndNoHandler) {
  EXPECT_EQ(Load(GetParam()), nullptr);
  ASSERT_EQ(CaughtMessageBoxes().size(), 1u);
  const CaughtMessageBox &box = CaughtMessageBoxes()[0];
  EXPECT_EQ(box.owner, nullptr);
  EXPECT_EQ(box.text, "Incorrect BASS.DLL version (2.4 is required)");
  EXPECT_EQ(box.caption, "PELLOR");
  EXPECT_EQ(box.style, 0x10u);
  for (const HostDoubleCall &call : Registrations()) EXPECT_EQ(call.args[1], 1u) << "a handler was added";
}

INSTANTIATE_TEST_SUITE_P(Versions, RefusedHostTest,
                         ::testing::Values(0x02030000u, 0x0203FFFFu, 0x03040000u, 0x00000204u),
                         VersionName);

// ---- the library's face ----

TEST_F(DllTest, ExportsAreUndecorated) {
  ASSERT_NE(Load(0x02040000u), nullptr);
  for (const char *name : {"BASSplugin", "VARDEK_StreamCreateFile", "VARDEK_StreamCreateURL",
                           "VARDEK_StreamCreateFileUser"})
    EXPECT_NE(GetProcAddress(module_, name), nullptr) << name;
  EXPECT_EQ(GetProcAddress(module_, "ConfigHandler"), nullptr);
  EXPECT_EQ(GetProcAddress(module_, "CreateTakStream"), nullptr);
}

TEST_F(DllTest, FaceZeroListsTheTakFormat) {
  ASSERT_NE(Load(0x02040000u), nullptr);
  auto entry = Export<EntryProc>(module_, "BASSplugin");
  ASSERT_NE(entry, nullptr);
  const auto *info = static_cast<const PluginInfo *>(entry(0));
  ASSERT_NE(info, nullptr);
  EXPECT_EQ(info->version, 0x02040000u);
  ASSERT_EQ(info->formatc, 1u);
  EXPECT_EQ(info->formats[0].ctype, 0x10000u);
  EXPECT_STREQ(info->formats[0].name, "TAK file");
  EXPECT_STREQ(info->formats[0].exts, "*.tak");
  EXPECT_NE(entry(1), nullptr);
  EXPECT_EQ(entry(2), nullptr);
}

TEST_F(DllTest, ConfigurationIsLostOnUnload) {
  ASSERT_NE(Load(0x02040000u), nullptr);
  uint32_t value = 7;
  ASSERT_TRUE(HandlerOf(Registrations()[0])(0x11000, 1, &value));
  FreeLibrary(module_);
  HostDouble_Reset();
  ASSERT_NE(Load(0x02040000u), nullptr);
  value = 0;
  ASSERT_TRUE(HandlerOf(Registrations()[0])(0x11000, 0, &value));
  EXPECT_EQ(value, 44100u);
}

TEST_F(DllTest, StreamRecordComesFromTheProcessHeap) {
  ASSERT_NE(Load(0x02040000u), nullptr);
  auto create = Export<CreateFileProc>(module_, "VARDEK_StreamCreateFile");
  ASSERT_NE(create, nullptr);
  static const uint8_t bytes[32] = {};
  const HostStream stream = create(1, bytes, 0, sizeof bytes, 0);
  ASSERT_NE(stream, 0u);
  HostDoubleStream created;
  ASSERT_TRUE(HostDouble_GetStream(stream, &created));
  ASSERT_NE(created.instance, nullptr);
  EXPECT_TRUE(HeapValidate(GetProcessHeap(), 0, created.instance));
  EXPECT_GE(HeapSize(GetProcessHeap(), 0, created.instance), sizeof(TakStream));
  HostDouble_FreeStream(stream);
  EXPECT_EQ(DecoderDouble_LiveDecoders(), 0);
}

}  // namespace
