/* The three exported constructors over the recording host double, the
 * scripted decoder double and the counting heap: what reaches the host's open
 * operation, what reaches CreateStream, who closes the file and which error
 * code the application is left with. */
#include "host/exports.h"

#include <gtest/gtest.h>

#include "entry_support.h"
#include "host/plugin_entry.h"
#include "test_heap.h"

namespace {

const uint8_t kBytes[64] = {'t', 'B', 'a', 'K'};  // the decoder double reads nothing itself
const char kName[] = "song.tak";
const char kUrl[] = "http://example.invalid/song.tak";

/* The caller's procedures for FileOpenUser: a 64-byte source of zeros. */
uint32_t gUserCloses = 0;
void VARDEK_CALL UserClose(void *) { ++gUserCloses; }
uint64_t VARDEK_CALL UserLength(void *) { return sizeof kBytes; }
uint32_t VARDEK_CALL UserRead(void *buffer, uint32_t length, void *) { return 0; }
HostBool VARDEK_CALL UserSeek(uint64_t, void *) { return 1; }
const HostFileProcs kProcs = {UserClose, UserLength, UserRead, UserSeek};
int gUser;

void VARDEK_CALL Download(const void *, uint32_t, void *) {}

uint64_t Addr(const void *p) { return uint64_t(uintptr_t(p)); }

/* One constructor: how to call it, the open slot it must use and where that
 * slot's flags and trailing-1 arguments sit in the recorded call. */
struct Constructor {
  const char *name;
  uint32_t openSlot;
  int flagsArg, oneArg;
  HostStream (*create)(uint32_t flags);
};

void PrintTo(const Constructor &c, std::ostream *os) { *os << c.name; }

HostStream ByName(uint32_t flags) { return VARDEK_StreamCreateFile(0, kName, 0, 0, flags); }
HostStream ByMemory(uint32_t flags) {
  return VARDEK_StreamCreateFile(1, kBytes, 0, sizeof kBytes, flags);
}
HostStream ByUrl(uint32_t flags) { return VARDEK_StreamCreateURL(kUrl, 0, flags, Download, &gUser); }
HostStream ByProcs(uint32_t flags) { return VARDEK_StreamCreateFileUser(0, flags, &kProcs, &gUser); }

const Constructor kConstructors[] = {
    {"FileByName", HD_FILE_OPEN, 4, 5, ByName},
    {"FileInMemory", HD_FILE_OPEN, 4, 5, ByMemory},
    {"URL", HD_FILE_OPEN_URL, 2, 5, ByUrl},
    {"FileUser", HD_FILE_OPEN_USER, 1, 4, ByProcs},
};

class ExportsTest : public ::testing::TestWithParam<Constructor> {
 protected:
  void SetUp() override {
    ResetEntryDoubles();
    TestHeap_Reset();
    gUserCloses = 0;
    HostDouble_AddFile(kName, kBytes, sizeof kBytes);
    HostDouble_AddFile(kUrl, kBytes, sizeof kBytes);
    const TakStreamInfo info = {48000, 16, 2, 4096, 1000};
    DecoderDouble_SetInfo(&info, 0);
    ASSERT_TRUE(PluginAttach(RecordMessage));
    liveBefore_ = TestHeap_LiveBlocks();
  }
  void TearDown() override {
    PluginDetach();
    EXPECT_EQ(HostDouble_Misuse(), 0u);
  }

  /* The open call the constructor made; there must be exactly one. */
  HostDoubleCall OpenCall() {
    const auto opens = AllCalls(GetParam().openSlot);
    EXPECT_EQ(opens.size(), 1u);
    return opens.empty() ? HostDoubleCall{} : opens[0];
  }
  /* Opened, not bound, closed again, nothing left allocated. */
  void ExpectClosedAndFreed() {
    EXPECT_EQ(HostDouble_OpenFiles(), 0u);
    EXPECT_EQ(AllCalls(HD_FILE_CLOSE).size(), 1u);
    EXPECT_TRUE(AllCalls(HD_FILE_BIND_STREAM).empty());
    EXPECT_EQ(TestHeap_LiveBlocks(), liveBefore_);
    EXPECT_EQ(DecoderDouble_LiveDecoders(), 0);
  }

  uint32_t liveBefore_ = 0;
};

TEST_P(ExportsTest, OpensAStreamThatOwnsTheFile) {
  const HostStream stream = GetParam().create(0x100);
  ASSERT_NE(stream, 0u);

  HostDoubleStream created;
  ASSERT_TRUE(HostDouble_GetStream(stream, &created));
  EXPECT_EQ(created.freq, 48000u);
  EXPECT_EQ(created.chans, 2u);
  EXPECT_EQ(created.flags, 0x100u);
  EXPECT_NE(created.boundFile, 0u);
  EXPECT_EQ(HostDouble_OpenFiles(), 1u);
  EXPECT_TRUE(AllCalls(HD_FILE_CLOSE).empty());
  EXPECT_EQ(HostDouble_LastError(), 0);
  EXPECT_EQ(OpenCall().args[GetParam().oneArg], 1u);

  HostDouble_FreeStream(stream);
  EXPECT_EQ(HostDouble_OpenFiles(), 0u);
  EXPECT_EQ(TestHeap_LiveBlocks(), liveBefore_);
}

TEST_P(ExportsTest, CallerFlagsReachTheOpenUnmaskedButNotCreateStream) {
  const HostStream stream = GetParam().create(0x80000003u);
  ASSERT_NE(stream, 0u);
  EXPECT_EQ(OpenCall().args[GetParam().flagsArg], 0x80000003u);
  HostDoubleStream created;
  ASSERT_TRUE(HostDouble_GetStream(stream, &created));
  EXPECT_EQ(created.flags, 0u);
  HostDouble_FreeStream(stream);
}

TEST_P(ExportsTest, NotATakFileIsClosedWithError41) {
  DecoderDouble_SetCreate(DD_CREATE_INVALID);
  EXPECT_EQ(GetParam().create(0), 0u);
  EXPECT_EQ(HostDouble_LastError(), 41);
  ExpectClosedAndFreed();
}

TEST_P(ExportsTest, AFileTheHostRefusesIsClosedWithError41) {
  HostDouble_SetFileFlags(0x1);
  EXPECT_EQ(GetParam().create(0), 0u);
  EXPECT_EQ(HostDouble_LastError(), 41);
  ExpectClosedAndFreed();
}

TEST_P(ExportsTest, NoDecoderClosesTheFileAndReportsNothing) {
  DecoderDouble_SetCreate(DD_CREATE_NULL);
  EXPECT_EQ(GetParam().create(0), 0u);
  EXPECT_TRUE(AllCalls(HD_REPORT_ERROR).empty());
  ExpectClosedAndFreed();
}

TEST_P(ExportsTest, ARefusedStreamClosesTheFileAndTheHostCodeStands) {
  HostDouble_FailCreateStream(HOST_ERROR_MEMORY);
  EXPECT_EQ(GetParam().create(0), 0u);
  EXPECT_EQ(HostDouble_LastError(), HOST_ERROR_MEMORY);
  EXPECT_TRUE(AllCalls(HD_REPORT_ERROR).empty());
  ExpectClosedAndFreed();
}

TEST_P(ExportsTest, InertPluginOpensNothingAndReportsVersionError) {
  PluginDetach();
  EXPECT_EQ(GetParam().create(0), 0u);
  EXPECT_EQ(HostDouble_LastError(), 43);
  EXPECT_EQ(HostDouble_CallCount(GetParam().openSlot), 0u);
  EXPECT_FALSE(DecoderWasCreated());
}

INSTANTIATE_TEST_SUITE_P(Constructors, ExportsTest, ::testing::ValuesIn(kConstructors),
                         [](const auto &param) { return std::string(param.param.name); });

}  // namespace

namespace {

// ---- the arguments each open operation is given ----

class OpenArgumentsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetEntryDoubles();
    ASSERT_TRUE(PluginAttach(RecordMessage));
  }
  void TearDown() override { PluginDetach(); }
};

TEST_F(OpenArgumentsTest, FileWidensOffsetAndLengthWithZeroHighHalves) {
  EXPECT_EQ(VARDEK_StreamCreateFile(0, "missing.tak", 0xFFFFFFF0u, 0xFFFFFFFFu, 0x4), 0u);
  HostDoubleCall open;
  ASSERT_TRUE(HostDouble_LastCall(HD_FILE_OPEN, &open));
  EXPECT_EQ(open.args[0], 0u);
  EXPECT_STREQ(reinterpret_cast<const char *>(uintptr_t(open.args[1])), "missing.tak");
  EXPECT_EQ(open.args[2], 0x00000000FFFFFFF0ull);
  EXPECT_EQ(open.args[3], 0x00000000FFFFFFFFull);
  EXPECT_EQ(open.args[4], 0x4u);
}

TEST_F(OpenArgumentsTest, MemoryPassesTheAddressAndFlag) {
  static const uint8_t block[8] = {};
  VARDEK_StreamCreateFile(7, block, 2, 6, 0);
  HostDoubleCall open;
  ASSERT_TRUE(HostDouble_LastCall(HD_FILE_OPEN, &open));
  EXPECT_EQ(open.args[0], 7u);
  EXPECT_EQ(open.args[1], Addr(block));
  EXPECT_EQ(open.args[2], 2u);
  EXPECT_EQ(open.args[3], 6u);
}

TEST_F(OpenArgumentsTest, UrlPassesOffsetProcedureAndUser) {
  VARDEK_StreamCreateURL("http://example.invalid/none.tak", 1234, 0x10, Download, &gUser);
  HostDoubleCall open;
  ASSERT_TRUE(HostDouble_LastCall(HD_FILE_OPEN_URL, &open));
  EXPECT_STREQ(reinterpret_cast<const char *>(uintptr_t(open.args[0])), "http://example.invalid/none.tak");
  EXPECT_EQ(open.args[1], 1234u);
  EXPECT_EQ(open.args[2], 0x10u);
  EXPECT_EQ(open.args[3], uint64_t(uintptr_t(reinterpret_cast<void *>(Download))));
  EXPECT_EQ(open.args[4], Addr(&gUser));
}

TEST_F(OpenArgumentsTest, FileUserPassesSystemProceduresAndUser) {
  const HostStream stream = VARDEK_StreamCreateFileUser(2, 0, &kProcs, &gUser);
  HostDoubleCall open;
  ASSERT_TRUE(HostDouble_LastCall(HD_FILE_OPEN_USER, &open));
  EXPECT_EQ(open.args[0], 2u);
  EXPECT_EQ(open.args[2], Addr(&kProcs));
  EXPECT_EQ(open.args[3], Addr(&gUser));
  if (stream) HostDouble_FreeStream(stream);
}

/* A source the host cannot open: 0, nothing created, nothing closed, and no
 * code of the plug-in's own over the host's. */
TEST_F(OpenArgumentsTest, FailedOpenLeavesTheHostCode) {
  const HostStream streams[] = {
      VARDEK_StreamCreateFile(0, "missing.tak", 0, 0, 0),
      VARDEK_StreamCreateURL("http://example.invalid/none.tak", 0, 0, nullptr, nullptr),
  };
  for (HostStream stream : streams) EXPECT_EQ(stream, 0u);
  EXPECT_EQ(HostDouble_CallCount(HD_FILE_OPEN), 1u);
  EXPECT_EQ(HostDouble_CallCount(HD_FILE_OPEN_URL), 1u);
  EXPECT_EQ(HostDouble_CallCount(HD_REPORT_ERROR), 0u);
  EXPECT_EQ(HostDouble_CallCount(HD_FILE_GET_FLAGS), 0u);
  EXPECT_EQ(HostDouble_CallCount(HD_FILE_CLOSE), 0u);
  EXPECT_FALSE(DecoderWasCreated());
}

}  // namespace
