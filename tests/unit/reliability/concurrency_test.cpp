/* Sixteen streams decoded at once on eight threads through the host and the
 * real plug-in: each thread creates two streams of different shapes (width,
 * channels, float or 16-bit output, memory, file name or caller's
 * procedures), reads them in alternating requests of its own sizes, seeks
 * back once and frees them. Every stream must give exactly the bytes of its
 * own single-threaded decode. This suite is also the one the ThreadSanitizer
 * build runs. */
#include <gtest/gtest.h>

#include <array>
#include <thread>

#include "reliability_support.h"

namespace {

constexpr int kStreams = 16;
constexpr int kThreads = 8;

enum class Way { Memory, FileName, User };

struct StreamCase {
  TakImage image;
  std::string path;
  uint32_t flags;
  Way way;
};

struct OpenStream {
  HostStream handle = 0;
  MemoryUser user{};
};

const char *const kShapes[] = {
    "channels=2,bits=16,kind=music", "channels=1,bits=8,kind=noise",
    "channels=2,bits=24,kind=sine",  "channels=6,bits=16,kind=music",
    "channels=3,bits=24,kind=extremes", "channels=1,bits=16,kind=noise",
    "channels=2,bits=8,kind=music",  "channels=4,bits=16,kind=sine",
};

std::vector<StreamCase> MakeCases() {
  std::vector<StreamCase> cases(kStreams);
  for (int i = 0; i < kStreams; ++i) {
    takwrite::WriteOptions options;
    options.frame_size_type = i % 2 ? takwrite::kFrame512 : takwrite::kFrame1024;
    options.tags = {takwrite::text_item("Title", "stream " + std::to_string(i))};
    cases[i].image = MakeTak("samples=" + std::to_string(4000 + 300 * i) + ",rate=22050,seed=" +
                                 std::to_string(i) + "," + kShapes[i % 8],
                             options);
    cases[i].path = WriteTempFile("concurrent" + std::to_string(i) + ".tak", cases[i].image.file);
    cases[i].flags = (i / 8) ? BASS_SAMPLE_FLOAT : 0;
    cases[i].way = Way(i % 3);
  }
  return cases;
}

HostStream Create(const StreamCase &c, OpenStream &open) {
  switch (c.way) {
    case Way::Memory:
      return BASS_StreamCreateFile(1, c.image.file.data(), 0, c.image.file.size(), c.flags);
    case Way::FileName: return BASS_StreamCreateFile(0, c.path.c_str(), 0, 0, c.flags);
    case Way::User:
      open.user = {&c.image.file, 0};
      return BASS_StreamCreateFileUser(HOST_FILE_SYSTEM_NOBUFFER, c.flags, &kMemoryProcs, &open.user);
  }
  return 0;
}

/* The bytes of a read to the end, then of a second read from `seekTo`. */
Bytes DecodeAlone(const StreamCase &c, uint64_t seekTo) {
  OpenStream open;
  open.handle = Create(c, open);
  Bytes out = ReadAll(open.handle, 8192);
  BASS_ChannelSetPosition(open.handle, seekTo, BASS_POS_BYTE);
  const Bytes again = ReadAll(open.handle, 8192);
  out.insert(out.end(), again.begin(), again.end());
  BASS_StreamFree(open.handle);
  return out;
}

uint64_t SeekTarget(const StreamCase &c) {
  const uint32_t frame = c.image.format.channels * ((c.flags & BASS_SAMPLE_FLOAT) ? 4 : 2);
  return c.image.stats.samples / 3 * frame;
}

/* One thread: two streams, alternating requests until both have ended, then
 * the seek and a second pass, then free. */
void DecodeTwo(const std::vector<StreamCase> &cases, int first, std::array<Bytes, 2> &out,
               std::array<bool, 2> &ok) {
  std::array<OpenStream, 2> open;
  for (int s = 0; s < 2; ++s) open[s].handle = Create(cases[first + s], open[s]);
  Bytes buffer(9000);
  for (int pass = 0; pass < 2; ++pass) {
    std::array<bool, 2> ended = {false, false};
    for (uint32_t turn = 0; !(ended[0] && ended[1]); ++turn) {
      const int s = int(turn % 2);
      if (ended[s]) continue;
      const uint32_t request = 1000 + 997 * ((turn + uint32_t(first)) % 8);
      const uint32_t got = BASS_ChannelGetData(open[s].handle, buffer.data(), request);
      if (got == 0xFFFFFFFFu || got == 0) {
        ended[s] = true;
        continue;
      }
      out[s].insert(out[s].end(), buffer.begin(), buffer.begin() + got);
    }
    for (int s = 0; s < 2 && pass == 0; ++s)
      BASS_ChannelSetPosition(open[s].handle, SeekTarget(cases[first + s]), BASS_POS_BYTE);
  }
  for (int s = 0; s < 2; ++s) ok[s] = open[s].handle && BASS_StreamFree(open[s].handle);
}

TEST(Concurrency, SixteenStreamsOnEightThreadsEachMatchTheirOwnDecode) {
  ASSERT_TRUE(LoadPlugin());
  const std::vector<StreamCase> cases = MakeCases();
  std::vector<Bytes> alone(kStreams);
  for (int i = 0; i < kStreams; ++i) {
    alone[i] = DecodeAlone(cases[i], SeekTarget(cases[i]));
    const uint32_t frame = cases[i].image.format.channels * ((cases[i].flags & BASS_SAMPLE_FLOAT) ? 4 : 2);
    ASSERT_EQ(alone[i].size(), (2 * cases[i].image.stats.samples - SeekTarget(cases[i]) / frame) * frame)
        << "stream " << i << " decodes whole on its own";
  }

  std::vector<std::array<Bytes, 2>> together(kThreads);
  std::vector<std::array<bool, 2>> freed(kThreads);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t)
    threads.emplace_back(DecodeTwo, std::cref(cases), 2 * t, std::ref(together[t]), std::ref(freed[t]));
  for (std::thread &thread : threads) thread.join();

  for (int i = 0; i < kStreams; ++i) {
    EXPECT_TRUE(freed[i / 2][i % 2]) << "stream " << i;
    EXPECT_TRUE(together[i / 2][i % 2] == alone[i]) << "stream " << i << " differs";
  }
  EXPECT_EQ(BASS_GetOpenFileCount(), 0u);
}

}  // namespace
