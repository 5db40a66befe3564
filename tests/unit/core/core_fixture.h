/* The fixture every core suite shares: resets the three doubles, opens an
 * in-memory file through the host double, creates streams over it, and at
 * the end frees what the test left and checks that nothing leaked (heap
 * blocks, decoders, open files) and that no handle was misused. */
#ifndef VARDEK_CORE_FIXTURE_H
#define VARDEK_CORE_FIXTURE_H

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "decoder_double.h"
#include "host_double.h"
#include "stream/tak_stream.h"
#include "test_heap.h"

using Bytes = std::vector<uint8_t>;

inline TakStreamInfo StreamInfo(int32_t bits, int32_t channels, int64_t frames,
                                int32_t sampleRate = 44100) {
  return TakStreamInfo{sampleRate, bits, channels, 4096, frames};
}

/* Names parameterised cases by their `name` field. */
template <typename Case>
std::string CaseName(const ::testing::TestParamInfo<Case> &param) {
  return param.param.name;
}

class CoreTest : public ::testing::Test {
 protected:
  void SetUp() override {
    HostDouble_Reset();
    DecoderDouble_Reset();
    TestHeap_Reset();
    fileBytes_ = Bytes(100, 0x11);
  }

  void TearDown() override {
    for (HostStream stream : streams_) {
      HostDoubleStream unused;
      if (HostDouble_GetStream(stream, &unused)) HostDouble_FreeStream(stream);
    }
    if (file_ && HostDouble_FilePos(file_) != ~uint64_t(0)) _.FileClose(file_);
    EXPECT_EQ(TestHeap_LiveBlocks(), 0u) << "heap blocks leaked";
    EXPECT_EQ(TestHeap_BadReleases(), 0u);
    EXPECT_EQ(DecoderDouble_LiveDecoders(), 0) << "decoder not destroyed";
    EXPECT_EQ(HostDouble_OpenFiles(), 0u);
    EXPECT_EQ(HostDouble_Misuse(), 0u);
  }

  /* Opens `bytes` (kept alive by the fixture) as the host file. */
  HostFile OpenFile(Bytes bytes) {
    fileBytes_ = std::move(bytes);
    return OpenFile();
  }
  HostFile OpenFile() {
    file_ = _.FileOpen(1, fileBytes_.data(), 0, fileBytes_.size(), 0, 1);
    return file_;
  }

  void SetFormat(int32_t bits, int32_t channels, int64_t frames) {
    info_ = StreamInfo(bits, channels, frames);
    DecoderDouble_SetInfo(&info_, 0);
  }

  /* CreateTakStream over a freshly opened file; the stream is freed at the
   * end of the test unless the test frees it first. */
  HostStream Create(uint32_t flags = 0) {
    if (!file_) OpenFile();
    const HostStream stream = CreateTakStream(file_, flags);
    if (stream) streams_.push_back(stream);
    return stream;
  }

  TakStream *Record(HostStream stream) {
    HostDoubleStream created{};
    EXPECT_TRUE(HostDouble_GetStream(stream, &created));
    return static_cast<TakStream *>(created.instance);
  }

  bool FileStillOpen() const { return HostDouble_FilePos(file_) != ~uint64_t(0); }

  Bytes fileBytes_;
  HostFile file_ = 0;
  TakStreamInfo info_{};
  std::vector<HostStream> streams_;
};

#endif
