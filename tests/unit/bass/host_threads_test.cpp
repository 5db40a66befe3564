/* Thread safety: many streams decode at once on their own threads, and
 * several threads working on one stream never run two of its operations at
 * the same time (the plug-in double counts overlaps). */
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <thread>

#include "host_test_support.h"

namespace {
int Overlaps() {
  void *handle = dlopen(FAKE_PLUGIN_A, RTLD_NOW | RTLD_NOLOAD);
  auto read = reinterpret_cast<int (*)()>(dlsym(handle, "FakeOverlaps"));
  int value = read();
  dlclose(handle);
  return value;
}

TEST(HostThreads, StreamsOnDifferentThreadsEachGetTheirOwnBytes) {
  ASSERT_NE(BASS_PluginLoad(FAKE_PLUGIN_A, 0), 0u);
  constexpr int kThreads = 6;
  std::vector<std::unique_ptr<TempFile>> files;
  for (int t = 0; t < kThreads; ++t) {
    std::vector<int16_t> samples(2000, int16_t(t * 1000 + 1));
    files.push_back(std::make_unique<TempFile>(FakeFile("FAKE", 8000, 1, samples)));
  }
  std::vector<int> wrong(kThreads, -1);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t)
    threads.emplace_back([&, t] {
      HostStream stream = BASS_StreamCreateFile(0, files[t]->path(), 0, 0, 0);
      int bad = stream ? 0 : 1000000;
      int16_t chunk[64];
      uint32_t got;
      while ((got = BASS_ChannelGetData(stream, chunk, sizeof chunk)) != 0xFFFFFFFFu)
        for (uint32_t i = 0; i < got / 2; ++i) bad += chunk[i] != int16_t(t * 1000 + 1);
      BASS_StreamFree(stream);
      wrong[t] = bad;
    });
  for (std::thread &thread : threads) thread.join();
  for (int t = 0; t < kThreads; ++t) EXPECT_EQ(wrong[t], 0) << "thread " << t;
  BASS_PluginFree(0);
}

TEST(HostThreads, OneStreamNeverRunsTwoOperationsAtOnce) {
  ASSERT_NE(BASS_PluginLoad(FAKE_PLUGIN_A, 0), 0u);
  int before = Overlaps();
  TempFile file(FakeFile("FAKE", 8000, 2, CountingSamples(20000)));
  HostStream stream = BASS_StreamCreateFile(0, file.path(), 0, 0, 0);
  ASSERT_NE(stream, 0u);
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t)
    threads.emplace_back([stream, t] {
      uint8_t chunk[256];
      for (int i = 0; i < 300; ++i) {
        if (t == 0) BASS_ChannelSetPosition(stream, uint64_t(i) * 4, BASS_POS_BYTE);
        else if (t == 1) BASS_ChannelGetLength(stream, BASS_POS_BYTE);
        else BASS_ChannelGetData(stream, chunk, sizeof chunk);
      }
    });
  for (std::thread &thread : threads) thread.join();
  EXPECT_EQ(Overlaps(), before);
  BASS_StreamFree(stream);
  BASS_PluginFree(0);
}
}  // namespace
