/* Soak: 10,000 create/read/free cycles through the host and the real
 * plug-in, taking turns over the three ways a file is opened (file name,
 * memory block, caller's procedures), on a file of one short frame with an
 * APEv2 tag so that every tag block is built and freed each time. After a
 * warm-up (the decoder library's one-time tables, the host's tables) the
 * process's live heap must come back to exactly its starting count of bytes,
 * and no file may stay open. The count is the allocator's own: glibc's
 * mallinfo2 in a plain build, the sanitizer's allocator statistics under ASan
 * and TSan (see LiveHeapBytes). glibc's per-thread cache would keep freed
 * blocks counted, so ctest runs this suite with the cache off. */
#include <gtest/gtest.h>

#include "reliability_support.h"

namespace {

constexpr int kCycles = 10000;
constexpr int kWarmUp = 30;

struct Soak : ::testing::Test {
  static void SetUpTestSuite() {
    ASSERT_TRUE(LoadPlugin());
    takwrite::WriteOptions options;
    options.frame_size_type = takwrite::kFrame512;
    options.tags = {takwrite::text_item("Title", "Soak"), takwrite::text_item("Track", "9"),
                    takwrite::text_item("Comment", "again and again")};
    image_ = MakeTak("samples=300,rate=8000,channels=2,bits=16,kind=music", options);
    path_ = WriteTempFile("soak.tak", image_.file);
  }

  /* One cycle the given way; true when the stream gave all its bytes and
   * its three tag blocks, and was freed. */
  static bool Cycle(int way, Bytes &buffer) {
    MemoryUser user = {&image_.file, 0};
    HostStream stream = 0;
    if (way == 0) stream = BASS_StreamCreateFile(0, path_.c_str(), 0, 0, 0);
    if (way == 1) stream = BASS_StreamCreateFile(1, image_.file.data(), 0, image_.file.size(), BASS_SAMPLE_FLOAT);
    if (way == 2) stream = BASS_StreamCreateFileUser(HOST_FILE_SYSTEM_NOBUFFER, 0, &kMemoryProcs, &user);
    if (!stream) return false;
    uint64_t total = 0;
    uint32_t got;
    while ((got = BASS_ChannelGetData(stream, buffer.data(), uint32_t(buffer.size()))) != 0xFFFFFFFFu && got)
      total += got;
    const bool tags = BASS_ChannelGetTags(stream, HOST_TAG_ID3) && BASS_ChannelGetTags(stream, HOST_TAG_ID3V2) &&
                      BASS_ChannelGetTags(stream, HOST_TAG_APE);
    const uint64_t expected = image_.pcm.size() * (way == 1 ? 2 : 1);
    return BASS_StreamFree(stream) && tags && total == expected;
  }

  static TakImage image_;
  static std::string path_;
};
TakImage Soak::image_;
std::string Soak::path_;

TEST_F(Soak, TenThousandCyclesLeaveTheHeapWhereItWas) {
  Bytes buffer(1500);
  for (int i = 0; i < kWarmUp; ++i) ASSERT_TRUE(Cycle(i % 3, buffer));
  const uint64_t before = LiveHeapBytes();
  int failed = 0;
  for (int i = 0; i < kCycles; ++i) failed += !Cycle(i % 3, buffer);
  const uint64_t after = LiveHeapBytes();
  EXPECT_EQ(failed, 0);
  EXPECT_EQ(after, before) << "live heap bytes after " << kCycles << " cycles (outside ctest, "
                              "run with GLIBC_TUNABLES=glibc.malloc.tcache_count=0)";
  EXPECT_EQ(BASS_GetOpenFileCount(), 0u);
}

}  // namespace
