/* The ELF load hooks: a plug-in built from the real sources and hooks (the
 * probe module) is loaded with dlopen while this program plays the host, and
 * what its constructor and destructor did is read from the host double's
 * call log. A refused version leaves the module loaded but inert. */
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <string>

#include "entry_support.h"

#ifndef VARDEK_PROBE_MODULE
#error "VARDEK_PROBE_MODULE must name the probe module's file"
#endif

namespace {

using EntryProc = const void *(*)(uint32_t);
using CreateFileProc = HostStream (*)(HostBool, const void *, uint32_t, uint32_t, uint32_t);

struct HookCase {
  const char *name;
  uint32_t version;
  bool accepted;
};

void PrintTo(const HookCase &c, std::ostream *os) { *os << c.name; }

class PosixHooksTest : public ::testing::TestWithParam<HookCase> {
 protected:
  void SetUp() override {
    ResetEntryDoubles();
    HostDouble_SetVersion(GetParam().version);
    ::testing::internal::CaptureStderr();
    module_ = dlopen(VARDEK_PROBE_MODULE, RTLD_NOW | RTLD_LOCAL);
    stderr_ = ::testing::internal::GetCapturedStderr();
    ASSERT_NE(module_, nullptr) << dlerror();
  }
  void TearDown() override {
    if (module_) dlclose(module_);
  }
  template <typename P>
  P Symbol(const char *name) {
    return reinterpret_cast<P>(dlsym(module_, name));
  }

  void *module_ = nullptr;
  std::string stderr_;
};

TEST_P(PosixHooksTest, ConstructorChecksTheVersionAndRegisters) {
  const auto registrations = AllCalls(HD_REGISTER_CONFIG_HANDLER);
  if (GetParam().accepted) {
    ASSERT_EQ(registrations.size(), 1u);
    EXPECT_EQ(registrations[0].args[1], 0u);
    EXPECT_EQ(stderr_, "");
  } else {
    EXPECT_TRUE(registrations.empty());
    EXPECT_EQ(stderr_, "Incorrect BASS.DLL version (2.4 is required)\n");
  }
}

TEST_P(PosixHooksTest, EntryIsInertExactlyWhenRefused) {
  auto entry = Symbol<EntryProc>("BASSplugin");
  ASSERT_NE(entry, nullptr);
  if (GetParam().accepted) {
    const auto *info = static_cast<const PluginInfo *>(entry(0));
    ASSERT_NE(info, nullptr);
    EXPECT_EQ(info->version, 0x02040000u);
    EXPECT_NE(entry(1), nullptr);
  } else {
    EXPECT_EQ(entry(0), nullptr);
    EXPECT_EQ(entry(1), nullptr);
  }
  EXPECT_EQ(entry(2), nullptr);
}

TEST_P(PosixHooksTest, ConstructorsWorkExactlyWhenAccepted) {
  auto create = Symbol<CreateFileProc>("VARDEK_StreamCreateFile");
  ASSERT_NE(create, nullptr);
  static const uint8_t bytes[16] = {};
  const HostStream stream = create(1, bytes, 0, sizeof bytes, 0);
  if (GetParam().accepted) {
    EXPECT_NE(stream, 0u);
    EXPECT_EQ(HostDouble_LastError(), 0);
    HostDouble_FreeStream(stream);
  } else {
    EXPECT_EQ(stream, 0u);
    EXPECT_EQ(HostDouble_LastError(), 43);  // HOST_ERROR_VERSION
    EXPECT_EQ(HostDouble_CallCount(HD_FILE_OPEN), 0u);
  }
}

TEST_P(PosixHooksTest, DestructorAlwaysAsksForRemoval) {
  const uint32_t mark = HostDouble_CallTotal();
  ASSERT_EQ(dlclose(module_), 0);
  module_ = nullptr;
  const auto removals = CallsSince(HD_REGISTER_CONFIG_HANDLER, mark);
  ASSERT_EQ(removals.size(), 1u);
  EXPECT_EQ(removals[0].args[1], 1u);
  if (GetParam().accepted) {  // the same handler that was added
    EXPECT_EQ(removals[0].args[0], AllCalls(HD_REGISTER_CONFIG_HANDLER)[0].args[0]);
  }
}

INSTANTIATE_TEST_SUITE_P(Versions, PosixHooksTest,
                         ::testing::Values(HookCase{"v2_4_build_17", 0x02040011u, true},
                                           HookCase{"v2_4_build_ffff", 0x0204FFFFu, true},
                                           HookCase{"v2_3", 0x02030000u, false},
                                           HookCase{"v3_4", 0x03040000u, false}),
                         [](const auto &param) { return std::string(param.param.name); });

}  // namespace
