/* Every heap allocation of a stream's whole life fails in turn: creation,
 * reading to the end (16-bit and float), the length, position, information
 * and tag queries, and release. The plug-in runs with the real decoder
 * library over a tagged TAK file served by the recording host double, and
 * with the counting heap in place of the process heap. The core suite already
 * fails each allocation of creation against the scripted decoder; this suite
 * adds the reading phase, shows that queries and release never allocate,
 * and checks the documented outcome of each failure:
 *   - the record: no stream, error 1 (memory), the file still its opener's;
 *   - a tag block: the stream is created without that block;
 *   - a read's scratch block: that request ends the stream (end marker,
 *     error 1) and everything delivered before it is the file's PCM;
 * and on every path the heap gets every block back. */
#include <gtest/gtest.h>

#include <cstring>

#include "host_double.h"
#include "stream/tak_stream.h"
#include "tak_writer.h"
#include "test_heap.h"

namespace {

using Bytes = std::vector<uint8_t>;

struct Image {
  Bytes file, pcm;
};

Image TaggedFile() {
  takwrite::SynthSpec spec;
  std::string error;
  takwrite::parse_synth_spec("samples=2000,rate=8000,channels=2,bits=16,kind=music", spec, error);
  Image image;
  image.pcm = takwrite::synthesize(spec);
  takwrite::WriteOptions options;
  options.frame_size_type = takwrite::kFrame512;
  options.tags = {takwrite::text_item("Title", std::string(1500, 'T')),
                  takwrite::text_item("Artist", "a"), takwrite::text_item("Track", "12")};
  takwrite::encode_tak(spec.format, image.pcm.data(), image.pcm.size(), options, image.file, error);
  return image;
}

/* What one life of a stream did. */
struct Life {
  HostStream stream = 0;
  int32_t createError = 0;
  bool fileOpenAfterFailure = false;
  bool hasApe = false, hasId3v2 = false;
  Bytes out;
  bool endedByMemory = false;
  uint32_t queryAllocations = 0, releaseAllocations = 0;
};

constexpr uint32_t kRequest = 1000;

Life LiveOnce(const Image &image, uint32_t flags, uint32_t failAt) {
  HostDouble_Reset();
  TestHeap_Reset();
  Life life;
  const HostFile file = _.FileOpen(1, image.file.data(), 0, image.file.size(), 0, 1);
  TestHeap_FailAt(failAt);
  life.stream = CreateTakStream(file, flags);
  life.createError = HostDouble_LastError();
  if (!life.stream) {
    life.fileOpenAfterFailure = HostDouble_FilePos(file) != ~uint64_t(0);
    _.FileClose(file);
    return life;
  }
  HostDoubleStream created{};
  HostDouble_GetStream(life.stream, &created);
  TakStream *record = static_cast<TakStream *>(created.instance);
  life.hasApe = record->apeTag != nullptr;
  life.hasId3v2 = record->id3v2 != nullptr;

  Bytes buffer(kRequest);
  for (;;) {
    const uint32_t got = created.proc(life.stream, buffer.data(), kRequest, record);
    if (got == HOST_STREAM_END) {
      life.endedByMemory = HostDouble_LastError() == HOST_ERROR_MEMORY;
      break;
    }
    life.out.insert(life.out.end(), buffer.begin(), buffer.begin() + got);
  }

  const uint32_t beforeQueries = TestHeap_Allocations();
  const StreamFunctions &slots = *created.functions;
  const uint64_t length = slots.length(record, 0);
  if (slots.checkPosition(record, length / 2, 0)) slots.applyPosition(record, length / 2, 0);
  HostChannelInfo info{};
  slots.info(record, &info);
  for (uint32_t type = 0; type < 8; ++type) slots.tags(record, type);
  life.queryAllocations = TestHeap_Allocations() - beforeQueries;

  const uint32_t beforeRelease = TestHeap_Allocations();
  HostDouble_FreeStream(life.stream);
  life.releaseAllocations = TestHeap_Allocations() - beforeRelease;
  return life;
}

struct Output {
  const char *name;
  uint32_t flags;
  uint32_t outputBytesPerSample;
};

class HeapFailure : public ::testing::TestWithParam<Output> {};

TEST_P(HeapFailure, EveryAllocationOfAStreamsLifeFailsCleanly) {
  const Image image = TaggedFile();
  const uint32_t scale = GetParam().outputBytesPerSample / 2;
  const Life clean = LiveOnce(image, GetParam().flags, 0);
  ASSERT_NE(clean.stream, 0u);
  ASSERT_TRUE(clean.hasApe && clean.hasId3v2);
  ASSERT_EQ(clean.out.size(), image.pcm.size() * scale);
  ASSERT_EQ(TestHeap_LiveBlocks(), 0u);
  const uint32_t total = TestHeap_Allocations();
  const uint32_t reads = uint32_t((clean.out.size() + kRequest - 1) / kRequest) + 1; /* + the end */
  const uint32_t creation = total - reads;
  ASSERT_GE(creation, 5u) << "record, capture block, ID3v2 and two scratch buffers at least";

  for (uint32_t failAt = 1; failAt <= total; ++failAt) {
    SCOPED_TRACE("allocation " + std::to_string(failAt) + " of " + std::to_string(total));
    const Life life = LiveOnce(image, GetParam().flags, failAt);
    EXPECT_EQ(TestHeap_LiveBlocks(), 0u) << "leaked";
    EXPECT_EQ(TestHeap_BadReleases(), 0u);
    EXPECT_EQ(HostDouble_OpenFiles(), 0u);
    if (failAt == 1) {
      EXPECT_EQ(life.stream, 0u);
      EXPECT_EQ(life.createError, HOST_ERROR_MEMORY);
      EXPECT_TRUE(life.fileOpenAfterFailure);
      continue;
    }
    ASSERT_NE(life.stream, 0u) << "only the record's allocation fails creation";
    EXPECT_EQ(life.queryAllocations, 0u);
    EXPECT_EQ(life.releaseAllocations, 0u);
    if (failAt <= creation) {
      EXPECT_FALSE(life.hasApe && life.hasId3v2) << "the failed block is absent";
      EXPECT_TRUE(life.out.size() == clean.out.size() && life.out == clean.out);
    } else {
      EXPECT_TRUE(life.hasApe && life.hasId3v2);
      const size_t delivered = size_t(failAt - creation - 1) * kRequest;
      EXPECT_TRUE(life.endedByMemory);
      ASSERT_EQ(life.out.size(), std::min(delivered, clean.out.size()));
      EXPECT_TRUE(std::equal(life.out.begin(), life.out.end(), clean.out.begin()));
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Outputs, HeapFailure,
                         ::testing::Values(Output{"Int16", 0, 2}, Output{"Float", 0x100, 4}),
                         [](const auto &param) { return std::string(param.param.name); });

}  // namespace
