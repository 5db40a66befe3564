/* BASSplugin, ConfigHandler and the attach/detach pair, driven directly with
 * the recording host double in the host's place. */
#include "host/plugin_entry.h"

#include <gtest/gtest.h>

#include <cstring>

#include "entry_support.h"
#include "stream/tak_stream.h"

namespace {

const char kMessage[] = "Incorrect BASS.DLL version (2.4 is required)";

uint64_t Address(HostConfigHandler handler) { return uint64_t(uintptr_t(reinterpret_cast<void *>(handler))); }

class EntryTest : public ::testing::Test {
 protected:
  void SetUp() override { ResetEntryDoubles(); }
  void TearDown() override { PluginDetach(); }
};

// ---- attach: the version word ----

struct VersionCase {
  uint32_t version;
  bool accepted;
};

void PrintTo(const VersionCase &c, std::ostream *os) { *os << std::hex << "0x" << c.version; }

class AttachVersionTest : public EntryTest, public ::testing::WithParamInterface<VersionCase> {};

TEST_P(AttachVersionTest, AcceptsExactlyTheHighWord0204) {
  const VersionCase c = GetParam();
  HostDouble_SetVersion(c.version);

  EXPECT_EQ(PluginAttach(RecordMessage), c.accepted);
  EXPECT_EQ(PluginIsReady(), c.accepted);

  const auto registrations = AllCalls(HD_REGISTER_CONFIG_HANDLER);
  if (c.accepted) {
    ASSERT_EQ(registrations.size(), 1u);
    EXPECT_EQ(registrations[0].args[0], Address(ConfigHandler));
    EXPECT_EQ(registrations[0].args[1], 0u);
    EXPECT_TRUE(ShownMessages().empty());
  } else {
    EXPECT_TRUE(registrations.empty());
    ASSERT_EQ(ShownMessages().size(), 1u);
    EXPECT_EQ(ShownMessages()[0].text, kMessage);
    EXPECT_EQ(ShownMessages()[0].caption, "PELLOR");
  }
}

INSTANTIATE_TEST_SUITE_P(VersionWords, AttachVersionTest,
                         ::testing::Values(VersionCase{0x02040000u, true},
                                           VersionCase{0x02040001u, true},
                                           VersionCase{0x0204FFFFu, true},
                                           VersionCase{0x02031234u, false},
                                           VersionCase{0x02030000u, false},
                                           VersionCase{0x03040000u, false},
                                           VersionCase{0x0205FFFFu, false},
                                           VersionCase{0x00000204u, false},
                                           VersionCase{0x00000000u, false}));

// ---- detach ----

TEST_F(EntryTest, DetachRemovesTheHandlerAfterAnAcceptedAttach) {
  ASSERT_TRUE(PluginAttach(RecordMessage));
  const uint32_t mark = HostDouble_CallTotal();
  PluginDetach();

  const auto removals = CallsSince(HD_REGISTER_CONFIG_HANDLER, mark);
  ASSERT_EQ(removals.size(), 1u);
  EXPECT_EQ(removals[0].args[0], Address(ConfigHandler));
  EXPECT_EQ(removals[0].args[1], 1u);
  EXPECT_FALSE(PluginIsReady());
}

TEST_F(EntryTest, DetachAsksForRemovalAfterARefusedAttach) {
  HostDouble_SetVersion(0x02030000u);
  ASSERT_FALSE(PluginAttach(RecordMessage));
  PluginDetach();

  const auto calls = AllCalls(HD_REGISTER_CONFIG_HANDLER);
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].args[0], Address(ConfigHandler));
  EXPECT_EQ(calls[0].args[1], 1u);
  EXPECT_EQ(ShownMessages().size(), 1u);  // detach shows nothing
}

TEST_F(EntryTest, DetachMakesNoVersionTest) {
  ASSERT_TRUE(PluginAttach(RecordMessage));
  HostDouble_SetVersion(0x03040000u);
  PluginDetach();
  EXPECT_TRUE(ShownMessages().empty());
}

// ---- BASSplugin ----

TEST_F(EntryTest, FaceZeroDescribesOneTakFormat) {
  ASSERT_TRUE(PluginAttach(RecordMessage));
  const auto *info = static_cast<const PluginInfo *>(BASSplugin(0));
  ASSERT_NE(info, nullptr);
  EXPECT_EQ(info->version, 0x02040000u);
  ASSERT_EQ(info->formatc, 1u);
  ASSERT_NE(info->formats, nullptr);
  EXPECT_EQ(info->formats[0].ctype, 0x10000u);
  EXPECT_STREQ(info->formats[0].name, "TAK file");
  EXPECT_STREQ(info->formats[0].exts, "*.tak");
  EXPECT_EQ(BASSplugin(0), info);  // the same static record every time
}

TEST_F(EntryTest, FaceOneIsTheStreamCreationFunction) {
  ASSERT_TRUE(PluginAttach(RecordMessage));
  EXPECT_EQ(BASSplugin(1), reinterpret_cast<const void *>(&CreateTakStream));
}

TEST_F(EntryTest, OtherFacesAreNull) {
  ASSERT_TRUE(PluginAttach(RecordMessage));
  for (uint32_t face : {2u, 3u, 0x100u, 0xFFFFFFFFu}) EXPECT_EQ(BASSplugin(face), nullptr) << face;
}

TEST_F(EntryTest, EveryFaceIsNullWhileInert) {
  HostDouble_SetVersion(0x03040000u);
  ASSERT_FALSE(PluginAttach(RecordMessage));
  for (uint32_t face : {0u, 1u, 2u}) EXPECT_EQ(BASSplugin(face), nullptr) << face;

  HostDouble_SetVersion(0x02040000u);
  ASSERT_TRUE(PluginAttach(RecordMessage));
  PluginDetach();
  for (uint32_t face : {0u, 1u, 2u}) EXPECT_EQ(BASSplugin(face), nullptr) << "after detach " << face;
}

// ---- ConfigHandler ----

struct ConfigCase {
  const char *what;
  uint32_t option, flags;
  uint32_t in;            // *value before the call
  HostBool handled;
  uint32_t out;           // *value after the call
  uint32_t rate, chans;   // the cells afterwards, read back with flags 0
};

void PrintTo(const ConfigCase &c, std::ostream *os) { *os << c.what; }

class ConfigTest : public EntryTest, public ::testing::WithParamInterface<ConfigCase> {
 protected:
  static uint32_t Read(uint32_t option) {
    uint32_t value = 0xDEADBEEFu;
    EXPECT_TRUE(ConfigHandler(option, 0, &value));
    return value;
  }
  void TearDown() override {  // back to the initial cells for the next case
    uint32_t rate = 44100, chans = 2;
    ConfigHandler(0x11000, 1, &rate);
    ConfigHandler(0x11001, 1, &chans);
    EntryTest::TearDown();
  }
};

TEST_P(ConfigTest, ServesTheTwoCells) {
  const ConfigCase c = GetParam();
  uint32_t value = c.in;
  EXPECT_EQ(ConfigHandler(c.option, c.flags, &value) != 0, c.handled != 0);
  EXPECT_EQ(value, c.out);
  EXPECT_EQ(Read(0x11000), c.rate);
  EXPECT_EQ(Read(0x11001), c.chans);
}

INSTANTIATE_TEST_SUITE_P(
    Options, ConfigTest,
    ::testing::Values(
        ConfigCase{"get rate", 0x11000, 0x0, 0xDEADBEEF, 1, 44100, 44100, 2},
        ConfigCase{"get channels", 0x11001, 0x0, 0xDEADBEEF, 1, 2, 44100, 2},
        ConfigCase{"set rate", 0x11000, 0x1, 7, 1, 7, 7, 2},
        ConfigCase{"set channels", 0x11001, 0x1, 6, 1, 6, 44100, 6},
        ConfigCase{"unvalidated", 0x11001, 0x1, 0xFFFFFFFF, 1, 0xFFFFFFFF, 44100, 0xFFFFFFFF},
        ConfigCase{"pointer get", 0x11000, 0x2, 9, 0, 9, 44100, 2},
        ConfigCase{"pointer set", 0x11000, 0x3, 9, 0, 9, 44100, 2},
        ConfigCase{"other bits get", 0x11000, 0xFFFFFFFC, 5, 1, 44100, 44100, 2},
        ConfigCase{"other bits set", 0x11001, 0x80000005, 5, 1, 5, 44100, 5},
        ConfigCase{"below", 0x10FFF, 0x1, 5, 0, 5, 44100, 2},
        ConfigCase{"above", 0x11002, 0x0, 5, 0, 5, 44100, 2},
        ConfigCase{"zero", 0x0, 0x1, 5, 0, 5, 44100, 2}),
    [](const auto &param) {
      std::string name = param.param.what;
      for (char &ch : name)
        if (ch == ' ') ch = '_';
      return name;
    });

TEST_F(EntryTest, TheRegisteredHandlerServesTheCells) {
  ASSERT_TRUE(PluginAttach(RecordMessage));
  HostDoubleCall call;
  ASSERT_TRUE(HostDouble_LastCall(HD_REGISTER_CONFIG_HANDLER, &call));
  auto handler = reinterpret_cast<HostConfigHandler>(uintptr_t(call.args[0]));
  uint32_t value = 0;
  EXPECT_TRUE(handler(0x11000, 0, &value));
  EXPECT_EQ(value, 44100u);
}

}  // namespace
