/* CreateTakStream, LoadStreamFormat and ReleaseStream: what reaches the host
 * and the decoder library, flag masking, the shared StreamFunctions record,
 * and who owns what on every failure. */
#include <functional>

#include "core_fixture.h"
#include "stream/sample_delivery.h"
#include "stream/stream_queries.h"

namespace {

using StreamCreation = CoreTest;

TEST_F(StreamCreation, RegistersTheStreamWithTheFileFormat) {
  info_ = StreamInfo(24, 6, 12345, 96000);
  DecoderDouble_SetInfo(&info_, 0);
  const HostStream stream = Create(0);
  ASSERT_NE(stream, 0u);

  HostDoubleCall call{};
  ASSERT_TRUE(HostDouble_LastCall(HD_CREATE_STREAM, &call));
  EXPECT_EQ(call.args[0], 96000u);
  EXPECT_EQ(call.args[1], 6u);
  EXPECT_EQ(call.args[2], 0u);
  HostDoubleStream created{};
  ASSERT_TRUE(HostDouble_GetStream(stream, &created));
  EXPECT_EQ(created.proc, &TakStreamProc);
  EXPECT_EQ(created.functions, &kTakStreamFunctions);
  EXPECT_EQ(created.boundFile, file_);

  const TakStream *record = static_cast<TakStream *>(created.instance);
  EXPECT_EQ(record->file, file_);
  EXPECT_EQ(record->stream, stream);
  EXPECT_EQ(record->channels, 6);
  EXPECT_EQ(record->bits, 24);
  EXPECT_EQ(record->sampleRate, 96000);
  EXPECT_EQ(record->frames, 12345u);
  EXPECT_EQ(HostDouble_LastError(), HOST_OK);
}

TEST_F(StreamCreation, CallsTheHostInOrderAndReportsSuccessLast) {
  SetFormat(16, 2, 10);
  _.ReportError(99);
  OpenFile();
  const HostStream stream = Create(0);
  ASSERT_NE(stream, 0u);

  std::vector<uint32_t> slots;
  for (uint32_t i = 0; i < HostDouble_CallTotal(); ++i) {
    HostDoubleCall call{};
    HostDouble_GetCall(i, &call);
    if (call.slot != HD_FILE_READ && call.slot != HD_FILE_SEEK && call.slot != HD_FILE_POSITION)
      slots.push_back(call.slot);
  }
  const std::vector<uint32_t> expected = {HD_REPORT_ERROR, HD_FILE_OPEN, HD_FILE_GET_FLAGS,
                                          HD_CREATE_STREAM, HD_FILE_BIND_STREAM, HD_REPORT_ERROR};
  EXPECT_EQ(slots, expected);
  HostDoubleCall bind{};
  HostDouble_LastCall(HD_FILE_BIND_STREAM, &bind);
  EXPECT_EQ(bind.args[0], file_);
  EXPECT_EQ(bind.args[1], stream);
  EXPECT_EQ(HostDouble_LastError(), HOST_OK);
}

TEST_F(StreamCreation, OpensTheDecoderOverTheRecordWithOptions7And0) {
  SetFormat(16, 2, 10);
  const HostStream stream = Create(0);
  ASSERT_NE(stream, 0u);
  DecoderDoubleCreation creation{};
  ASSERT_TRUE(DecoderDouble_LastCreation(&creation));
  EXPECT_EQ(creation.ioUser, Record(stream));
  EXPECT_EQ(creation.damageUser, Record(stream));
  EXPECT_EQ(creation.options.cpu, 7);
  EXPECT_EQ(creation.options.flags, 0);
  ASSERT_NE(creation.onDamage, nullptr);
  const uint32_t callsBefore = HostDouble_CallTotal();
  creation.onDamage(creation.damageUser, TAK_DAMAGE_CRC, 0, 100);
  EXPECT_EQ(HostDouble_CallTotal(), callsBefore) << "the damage callback does nothing";
}

TEST_F(StreamCreation, SharedStreamFunctionsRecordHasTheSlotsInOrder) {
  const StreamFunctions &f = kTakStreamFunctions;
  EXPECT_EQ(f.flags, 0u);
  EXPECT_EQ(f.release, &ReleaseStream);
  EXPECT_EQ(f.length, &QueryLength);
  EXPECT_EQ(f.tags, &QueryTags);
  EXPECT_EQ(f.slot4, nullptr);
  EXPECT_EQ(f.info, &QueryInfo);
  EXPECT_EQ(f.checkPosition, &CheckPosition);
  EXPECT_EQ(f.applyPosition, &ApplyPosition);
  for (void *empty : {f.slot8, f.slot9, f.slot10, f.slot11, f.slot12, f.slot13}) EXPECT_EQ(empty, nullptr);
}

struct FlagCase {
  uint32_t given, toHost;
  bool floatOutput;
};

class FlagMasking : public CoreTest, public ::testing::WithParamInterface<FlagCase> {};

TEST_P(FlagMasking, PassesOnlyTheMaskedBits) {
  SetFormat(16, 2, 10);
  const HostStream stream = Create(GetParam().given);
  ASSERT_NE(stream, 0u);
  HostDoubleCall call{};
  HostDouble_LastCall(HD_CREATE_STREAM, &call);
  EXPECT_EQ(call.args[2], GetParam().toHost);
  EXPECT_EQ(Record(stream)->flags, GetParam().toHost);
  EXPECT_EQ(OutputFrameSize(Record(stream)), GetParam().floatOutput ? 8u : 4u);
}

INSTANTIATE_TEST_SUITE_P(
    Flags, FlagMasking,
    ::testing::Values(FlagCase{0x3, 0, false}, FlagCase{0x100, 0x100, true},
                      FlagCase{0x80000000u, 0, false}, FlagCase{0xFFFFFFFFu, 0x3F24019Cu, true},
                      FlagCase{0x4 | 0x8 | 0x10 | 0x80 | 0x40000 | 0x200000 | 0x1000000 | 0x20000000,
                               0x4 | 0x8 | 0x10 | 0x80 | 0x40000 | 0x200000 | 0x1000000 | 0x20000000,
                               false},
                      FlagCase{0x1 | 0x2 | 0x20 | 0x40 | 0x200 | 0x80000 | 0x100000 | 0x800000 |
                                   0x40000000 | 0x80000000u,
                               0, false}));

TEST_F(StreamCreation, AcceptsEveryConvertibleWidth) {
  for (int32_t bits : {8, 16, 24, 32}) {
    SetFormat(bits, 1, 10);
    const HostStream stream = Create(0);
    EXPECT_NE(stream, 0u) << bits << " bits";
    HostDouble_FreeStream(stream);
    file_ = 0;
  }
}

/* A failure before the stream is live: what is reported and who still owns
 * the file. */
struct FailureCase {
  const char *name;
  std::function<void()> arrange;
  int32_t error;           /* expected last error; kNoReport = none reported */
  bool decoderCreated;     /* tak_SSD_Create_FromStream was reached */
  bool createStreamCalled; /* the host was asked for a stream */
};
constexpr int32_t kNoReport = -1000;
constexpr int32_t kHostRefusal = 46;

class CreationFailure : public CoreTest, public ::testing::WithParamInterface<FailureCase> {};

TEST_P(CreationFailure, ReturnsZeroFreesEverythingAndLeavesTheFileOpen) {
  SetFormat(16, 2, 10);
  GetParam().arrange();
  OpenFile();
  const uint32_t reportsBefore = HostDouble_CallCount(HD_REPORT_ERROR);

  EXPECT_EQ(Create(0x100), 0u);
  EXPECT_EQ(HostDouble_LastError(), GetParam().error);
  if (GetParam().error == kNoReport || GetParam().error == kHostRefusal) {
    EXPECT_EQ(HostDouble_CallCount(HD_REPORT_ERROR), reportsBefore) << "no code of its own";
  }
  DecoderDoubleCreation creation{};
  EXPECT_EQ(DecoderDouble_LastCreation(&creation) != 0, GetParam().decoderCreated);
  EXPECT_EQ(HostDouble_CallCount(HD_CREATE_STREAM), GetParam().createStreamCalled ? 1u : 0u);
  EXPECT_EQ(HostDouble_CallCount(HD_FILE_BIND_STREAM), 0u);
  EXPECT_EQ(HostDouble_CallCount(HD_FILE_CLOSE), 0u);
  EXPECT_TRUE(FileStillOpen());
  EXPECT_EQ(DecoderDouble_LiveDecoders(), 0);
  EXPECT_EQ(TestHeap_LiveBlocks(), 0u);
}

void BadFormat(int32_t bits, int32_t channels) {
  static TakStreamInfo info;
  info = StreamInfo(bits, channels, 10);
  DecoderDouble_SetInfo(&info, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Failures, CreationFailure,
    ::testing::Values(
        FailureCase{"RefusedFile", [] { HostDouble_SetFileFlags(HOST_FILE_REFUSED); },
                    HOST_ERROR_FILEFORM, false, false},
        FailureCase{"NoDecoder", [] { DecoderDouble_SetCreate(DD_CREATE_NULL); }, kNoReport, true,
                    false},
        FailureCase{"InvalidDecoder", [] { DecoderDouble_SetCreate(DD_CREATE_INVALID); },
                    HOST_ERROR_FILEFORM, true, false},
        FailureCase{"NoStreamInfo",
                    [] {
                      static TakStreamInfo failing = StreamInfo(16, 2, 10);
                      DecoderDouble_SetInfo(&failing, TAK_RES_ERROR);
                    },
                    HOST_ERROR_FILEFORM, true, false},
        FailureCase{"TwelveBits", [] { BadFormat(12, 2); }, HOST_ERROR_FILEFORM, true, false},
        FailureCase{"SevenBits", [] { BadFormat(7, 2); }, HOST_ERROR_FILEFORM, true, false},
        FailureCase{"ZeroBits", [] { BadFormat(0, 2); }, HOST_ERROR_FILEFORM, true, false},
        FailureCase{"ZeroChannels", [] { BadFormat(16, 0); }, HOST_ERROR_FILEFORM, true, false},
        FailureCase{"HostRefusesStream", [] { HostDouble_FailCreateStream(kHostRefusal); },
                    kHostRefusal, true, true},
        FailureCase{"NoMemoryForTheRecord", [] { TestHeap_FailAt(1); }, HOST_ERROR_MEMORY, false,
                    false}),
    CaseName<FailureCase>);

TEST_F(StreamCreation, RefusedFileAllocatesNothing) {
  HostDouble_SetFileFlags(HOST_FILE_REFUSED | HOST_FILE_RESTRATE);
  EXPECT_EQ(Create(0), 0u);
  EXPECT_EQ(TestHeap_Allocations(), 0u);
}

TEST_F(StreamCreation, BadFormatIsRefusedBeforeAnyTagIsRead) {
  BadFormat(12, 2);
  EXPECT_EQ(Create(0), 0u);
  EXPECT_EQ(HostDouble_CallCount(HD_FILE_READ), 0u);
  EXPECT_EQ(DecoderDouble_OpCount(), 0u);
}

TEST_F(StreamCreation, ReleaseDestroysTheDecoderAndLeavesTheFileToTheHost) {
  SetFormat(16, 2, 10);
  const HostStream stream = Create(0);
  ASSERT_NE(stream, 0u);
  EXPECT_EQ(DecoderDouble_LiveDecoders(), 1);
  EXPECT_GT(TestHeap_LiveBlocks(), 0u);

  HostDouble_FreeStream(stream); /* calls the release slot */
  EXPECT_EQ(DecoderDouble_LiveDecoders(), 0);
  EXPECT_EQ(TestHeap_LiveBlocks(), 0u);
  EXPECT_EQ(HostDouble_CallCount(HD_FILE_CLOSE), 0u) << "the plug-in never closes the file";
}

}  // namespace
