/* QueryLength, CheckPosition, ApplyPosition, QueryInfo and QueryTags on a
 * 2-channel stream of 100 frames, in 16-bit and float output. */
#include "core_fixture.h"
#include "stream/stream_queries.h"

namespace {

constexpr int32_t kStaleError = 99;
constexpr uint64_t kAllOnes = ~uint64_t(0);

class StreamQueries : public CoreTest {
 protected:
  void Open(uint32_t flags, int32_t bits = 16) {
    SetFormat(bits, 2, 100);
    const HostStream stream = Create(flags);
    ASSERT_NE(stream, 0u);
    record_ = Record(stream);
    _.ReportError(kStaleError);
  }
  TakStream *record_ = nullptr;
};

struct LengthCase {
  uint32_t flags, mode;
  uint64_t length;
  int32_t error;
};

class Length : public StreamQueries, public ::testing::WithParamInterface<LengthCase> {};

TEST_P(Length, CountsOutputBytesForMode0Only) {
  Open(GetParam().flags);
  EXPECT_EQ(QueryLength(record_, GetParam().mode), GetParam().length);
  EXPECT_EQ(HostDouble_LastError(), GetParam().error);
}

INSTANTIATE_TEST_SUITE_P(Modes, Length,
                         ::testing::Values(LengthCase{0, 0, 400, HOST_OK},
                                           LengthCase{0x100, 0, 800, HOST_OK},
                                           LengthCase{0, 0x02000000, kAllOnes, HOST_ERROR_NOTAVAIL},
                                           LengthCase{0, 1, kAllOnes, HOST_ERROR_NOTAVAIL},
                                           LengthCase{0x100, 0x80000000u, kAllOnes,
                                                      HOST_ERROR_NOTAVAIL}));

struct CheckCase {
  uint32_t flags;
  uint64_t position;
  uint32_t mode;
  bool accepted;
  int32_t error;
};

class Check : public StreamQueries, public ::testing::WithParamInterface<CheckCase> {};

TEST_P(Check, AcceptsPositionsInsideTheStream) {
  Open(GetParam().flags);
  EXPECT_EQ(CheckPosition(record_, GetParam().position, GetParam().mode) != 0, GetParam().accepted);
  EXPECT_EQ(HostDouble_LastError(), GetParam().error);
}

INSTANTIATE_TEST_SUITE_P(
    Positions, Check,
    ::testing::Values(CheckCase{0, 0, 0, true, HOST_OK}, CheckCase{0, 396, 0, true, HOST_OK},
                      CheckCase{0, 399, 0, true, HOST_OK},
                      CheckCase{0, 400, 0, false, HOST_ERROR_POSITION},
                      CheckCase{0, kAllOnes, 0, false, HOST_ERROR_POSITION},
                      CheckCase{0, 396, 0x02000000, true, HOST_OK},
                      CheckCase{0, 396, 0xFFFFFF00u, true, HOST_OK},
                      CheckCase{0, 396, 0x01, false, HOST_ERROR_NOTAVAIL},
                      CheckCase{0, 396, 0x80, false, HOST_ERROR_NOTAVAIL},
                      CheckCase{0x100, 799, 0, true, HOST_OK},
                      CheckCase{0x100, 800, 0, false, HOST_ERROR_POSITION}));

struct ApplyCase {
  uint32_t flags;
  uint64_t position;
  uint32_t mode;
  int64_t frame;
};

class Apply : public StreamQueries, public ::testing::WithParamInterface<ApplyCase> {};

TEST_P(Apply, SeeksTheDecoderToTheFrameAndReturnsThePositionUnchanged) {
  Open(GetParam().flags);
  const uint32_t reports = HostDouble_CallCount(HD_REPORT_ERROR);
  EXPECT_EQ(ApplyPosition(record_, GetParam().position, GetParam().mode), GetParam().position);
  EXPECT_EQ(DecoderDouble_LastSeek(), GetParam().frame);
  EXPECT_EQ(HostDouble_CallCount(HD_REPORT_ERROR), reports) << "reports nothing";
}

INSTANTIATE_TEST_SUITE_P(Positions, Apply,
                         ::testing::Values(ApplyCase{0, 10, 0, 2}, ApplyCase{0, 399, 0, 99},
                                           ApplyCase{0, 0, 0, 0}, ApplyCase{0x100, 10, 0, 1},
                                           ApplyCase{0, 10, 0xFF, 2},
                                           ApplyCase{0, 4000, 0, 1000} /* not re-checked */));

struct InfoCase {
  int32_t bits;
  uint32_t streamFlags, fileFlags, channelFlags;
};

class Info : public StreamQueries, public ::testing::WithParamInterface<InfoCase> {};

TEST_P(Info, CompletesFlagsTypeAndResolutionOnly) {
  Open(GetParam().streamFlags, GetParam().bits);
  HostDouble_SetFileFlags(GetParam().fileFlags);
  HostChannelInfo info{1, 2, 0x4, 4, 5, 6, 7, "name"};
  QueryInfo(record_, &info);
  EXPECT_EQ(info.freq, 1u);
  EXPECT_EQ(info.chans, 2u);
  EXPECT_EQ(info.flags, GetParam().channelFlags);
  EXPECT_EQ(info.ctype, 0x12000u);
  EXPECT_EQ(info.origres, 16u);
  EXPECT_EQ(info.plugin, 6u);
  EXPECT_EQ(info.sample, 7u);
  EXPECT_STREQ(info.filename, "name");
}

INSTANTIATE_TEST_SUITE_P(Flags, Info,
                         ::testing::Values(InfoCase{16, 0, 0, 0x4}, InfoCase{24, 0, 0x80000, 0x80004},
                                           InfoCase{16, 0x100, 0xFFFFFFFEu, 0x80004},
                                           InfoCase{8, 0, 0x7FFFF, 0x4}));

TEST_F(StreamQueries, WithoutAnApeTagOnlyTheZeroId3v1BlockIsServed) {
  Open(0);
  const uint32_t reports = HostDouble_CallCount(HD_REPORT_ERROR);
  const uint8_t *id3v1 = static_cast<const uint8_t *>(QueryTags(record_, HOST_TAG_ID3));
  ASSERT_EQ(id3v1, record_->id3v1);
  EXPECT_EQ(Bytes(id3v1, id3v1 + 128), Bytes(128, 0));
  for (uint32_t type : {1u, 6u, 2u, 5u, 7u, 0xFFFFFFFFu}) EXPECT_EQ(QueryTags(record_, type), nullptr) << type;
  EXPECT_EQ(HostDouble_CallCount(HD_REPORT_ERROR), reports);
}

}  // namespace
