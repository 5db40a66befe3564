/* TakStreamProc: whole frames per request, the conversions by width, float
 * output through the host, the end marker, and the scratch block on every
 * path. */
#include <cstring>

#include "core_fixture.h"
#include "stream/sample_delivery.h"
#include "stream/stream_queries.h"

namespace {

constexpr uint8_t kGuard = 0xEE;

class SampleDelivery : public CoreTest {
 protected:
  /* A stream of `bits` x `channels` whose decoder serves `pcm`. */
  void Open(int32_t bits, int32_t channels, Bytes pcm, uint32_t flags = 0) {
    pcm_ = std::move(pcm);
    const int64_t frames = int64_t(pcm_.size()) / (channels * (bits / 8));
    SetFormat(bits, channels, frames);
    DecoderDouble_SetPcm(pcm_.data(), pcm_.size());
    stream_ = Create(flags);
    ASSERT_NE(stream_, 0u);
    record_ = Record(stream_);
  }
  uint32_t Pull(void *buffer, uint32_t length) {
    return TakStreamProc(stream_, buffer, length, record_);
  }
  Bytes pcm_;
  HostStream stream_ = 0;
  TakStream *record_ = nullptr;
};

Bytes Counting(size_t size) {
  Bytes bytes(size);
  for (size_t i = 0; i < size; ++i) bytes[i] = uint8_t(i * 7 + 1);
  return bytes;
}

TEST_F(SampleDelivery, Request410Of16BitStereoDelivers102Frames) {
  Open(16, 2, Counting(2000));
  Bytes out(410, kGuard);
  EXPECT_EQ(Pull(out.data(), 410), 408u);
  EXPECT_EQ(DecoderDouble_LastFramesWanted(), 102);
  EXPECT_EQ(0, memcmp(out.data(), pcm_.data(), 408));
  EXPECT_EQ(out[408], kGuard);
  EXPECT_EQ(out[409], kGuard);
}

TEST_F(SampleDelivery, Request410OfFloatStereoDelivers51Frames) {
  Open(16, 2, Counting(2000), 0x100);
  Bytes out(410, kGuard);
  EXPECT_EQ(Pull(out.data(), 410), 408u);
  EXPECT_EQ(DecoderDouble_LastFramesWanted(), 51);
  HostDoubleCall call{};
  ASSERT_TRUE(HostDouble_LastCall(HD_INT_TO_FLOAT, &call));
  EXPECT_EQ(call.args[1], uint64_t(uintptr_t(out.data())));
  EXPECT_EQ(call.args[2], 102u) << "samples";
  EXPECT_EQ(call.args[3], 2u) << "bytes per sample";
  EXPECT_EQ(out[408], kGuard);
}

struct ConversionCase {
  int32_t bits;
  Bytes in;
  Bytes out; /* 16-bit little-endian */
};

class Conversion : public SampleDelivery, public ::testing::WithParamInterface<ConversionCase> {};

TEST_P(Conversion, ConvertsEachSampleToSixteenBits) {
  Open(GetParam().bits, 1, GetParam().in);
  Bytes out(GetParam().out.size() + 2, kGuard);
  EXPECT_EQ(Pull(out.data(), uint32_t(out.size())), GetParam().out.size());
  out.resize(GetParam().out.size());
  EXPECT_EQ(out, GetParam().out);
}

INSTANTIATE_TEST_SUITE_P(
    Widths, Conversion,
    ::testing::Values(
        /* 8-bit unsigned: 0x00 -> -32768, 0x80 -> 0, 0xFF -> 32512, 0x01 -> -32512 */
        ConversionCase{8, {0x00, 0x80, 0xFF, 0x01}, {0x00, 0x80, 0x00, 0x00, 0x00, 0x7F, 0x00, 0x81}},
        ConversionCase{16, {0x34, 0x12, 0xFF, 0xFF, 0x00, 0x80}, {0x34, 0x12, 0xFF, 0xFF, 0x00, 0x80}},
        /* 24-bit keeps the top two bytes */
        ConversionCase{24, {0x56, 0x34, 0x12, 0xFF, 0xFF, 0xFF, 0x00, 0x00, 0x80},
                       {0x34, 0x12, 0xFF, 0xFF, 0x00, 0x80}},
        ConversionCase{32, {0x78, 0x56, 0x34, 0x12, 0x01, 0x00, 0x00, 0x80},
                       {0x34, 0x12, 0x00, 0x80}}));

/* Long runs go through the word-at-a-time path and its byte-by-byte tail:
 * 19 stereo 24-bit frames are 38 samples, four groups of eight and six more. */
TEST_F(SampleDelivery, TwentyFourBitRunsKeepTheTopTwoBytesOfEverySample) {
  Open(24, 2, Counting(19 * 6));
  Bytes out(19 * 4 + 2, kGuard);
  EXPECT_EQ(Pull(out.data(), uint32_t(out.size())), 19u * 4);
  for (size_t k = 0; k < 38; ++k) {
    EXPECT_EQ(out[2 * k], pcm_[3 * k + 1]) << k;
    EXPECT_EQ(out[2 * k + 1], pcm_[3 * k + 2]) << k;
  }
  EXPECT_EQ(out[76], kGuard);
}

struct FloatCase {
  int32_t bits;
  Bytes in;
  std::vector<float> out;
};

class FloatOutput : public SampleDelivery, public ::testing::WithParamInterface<FloatCase> {};

TEST_P(FloatOutput, GoesThroughTheHostsIntToFloat) {
  Open(GetParam().bits, 1, GetParam().in, 0x100);
  std::vector<float> out(GetParam().out.size() + 1, 9.0f);
  const uint32_t bytes = uint32_t(out.size() * sizeof(float));
  EXPECT_EQ(Pull(out.data(), bytes), GetParam().out.size() * 4);
  HostDoubleCall call{};
  ASSERT_TRUE(HostDouble_LastCall(HD_INT_TO_FLOAT, &call));
  EXPECT_EQ(call.args[3], uint64_t(GetParam().bits / 8));
  for (size_t i = 0; i < GetParam().out.size(); ++i) EXPECT_FLOAT_EQ(out[i], GetParam().out[i]) << i;
  EXPECT_EQ(out.back(), 9.0f);
}

INSTANTIATE_TEST_SUITE_P(
    Widths, FloatOutput,
    ::testing::Values(FloatCase{8, {0xC0, 0x00, 0x80}, {0.5f, -1.0f, 0.0f}},
                      FloatCase{16, {0x00, 0x40, 0x00, 0x80}, {0.5f, -1.0f}},
                      FloatCase{24, {0x00, 0x00, 0x40, 0x00, 0x00, 0xC0}, {0.5f, -0.5f}},
                      FloatCase{32, {0x00, 0x00, 0x00, 0xC0, 0x00, 0x00, 0x00, 0x40}, {-0.5f, 0.5f}}));

TEST_F(SampleDelivery, ShortLastBlockThenTheEndMarkerUntilRepositioned) {
  Open(16, 2, Counting(12)); /* three frames */
  Bytes out(400, kGuard);
  EXPECT_EQ(Pull(out.data(), 400), 12u);
  EXPECT_EQ(0, memcmp(out.data(), pcm_.data(), 12));
  EXPECT_EQ(Pull(out.data(), 400), HOST_STREAM_END);
  EXPECT_EQ(Pull(out.data(), 400), HOST_STREAM_END);
  EXPECT_EQ(ApplyPosition(record_, 4, 0), 4u);
  EXPECT_EQ(Pull(out.data(), 400), 8u);
  EXPECT_EQ(0, memcmp(out.data(), pcm_.data() + 4, 8));
}

TEST_F(SampleDelivery, RequestShorterThanAFrameAsksForNoFrames) {
  Open(16, 2, Counting(40));
  uint8_t out[3] = {kGuard, kGuard, kGuard};
  EXPECT_EQ(Pull(out, 3), HOST_STREAM_END);
  EXPECT_EQ(DecoderDouble_LastFramesWanted(), 0);
  EXPECT_EQ(out[0], kGuard);
}

TEST_F(SampleDelivery, ReadErrorEndsTheStreamWithoutData) {
  Open(16, 2, Counting(40));
  DecoderDouble_SetReadResult(TAK_RES_ERROR);
  Bytes out(16, kGuard);
  EXPECT_EQ(Pull(out.data(), 16), HOST_STREAM_END);
  EXPECT_EQ(out, Bytes(16, kGuard));
}

TEST_F(SampleDelivery, ScratchBlockIsFreedOnEveryPath) {
  Open(24, 2, Counting(60));
  const uint32_t live = TestHeap_LiveBlocks();
  Bytes out(40);
  EXPECT_EQ(Pull(out.data(), 40), 40u);
  EXPECT_EQ(TestHeap_LiveBlocks(), live);
  EXPECT_EQ(Pull(out.data(), 40), HOST_STREAM_END);
  EXPECT_EQ(TestHeap_LiveBlocks(), live);
  DecoderDouble_SetReadResult(TAK_RES_ERROR);
  EXPECT_EQ(Pull(out.data(), 40), HOST_STREAM_END);
  EXPECT_EQ(TestHeap_LiveBlocks(), live);
}

TEST_F(SampleDelivery, ScratchIsSizedByTheDecodedWidth) {
  Open(24, 2, Counting(600));
  Bytes out(400);
  Pull(out.data(), 400); /* 100 frames x 2 channels x 3 bytes */
  EXPECT_EQ(TestHeap_LastRequest(), 600u);
}

TEST_F(SampleDelivery, FailedScratchAllocationReportsMemoryAndEndsWithoutTouchingAnything) {
  Open(16, 2, Counting(40));
  const uint32_t reads = DecoderDouble_Reads();
  TestHeap_FailAt(1);
  Bytes out(16, kGuard);
  EXPECT_EQ(Pull(out.data(), 16), HOST_STREAM_END);
  EXPECT_EQ(HostDouble_LastError(), HOST_ERROR_MEMORY);
  EXPECT_EQ(DecoderDouble_Reads(), reads);
  EXPECT_EQ(out, Bytes(16, kGuard));
}

TEST_F(SampleDelivery, ScratchSizeOfAHugeRequestIsComputedIn64Bits) {
  Open(32, 2, Counting(64));
  TestHeap_FailAt(1); /* nothing is written: the request fails before any use */
  uint8_t out[8] = {};
  EXPECT_EQ(Pull(out, 0xFFFFFFFFu), HOST_STREAM_END);
  EXPECT_EQ(TestHeap_LastRequest(), uint64_t(0xFFFFFFFFu / 4) * 2 * 4); /* about 8 GiB */
}

TEST_F(SampleDelivery, ADecoderReportingExtraFramesNeverOverrunsTheBuffer) {
  Open(16, 2, Counting(2000));
  DecoderDouble_SetReadExtra(5);
  Bytes out(410, kGuard);
  EXPECT_EQ(Pull(out.data(), 410), 408u);
  EXPECT_EQ(out[408], kGuard);
}

}  // namespace
