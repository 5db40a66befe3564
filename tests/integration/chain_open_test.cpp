/* Every way of opening a TAK file gives the same bytes — a file, a memory
 * block (also as a region inside a larger block), the caller's procedures,
 * and the plug-in's own exported constructors — and a file that is not TAK
 * gives error 41 with no host file left open and the caller's file closed. */
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstring>
#include <thread>

#include "integration_support.h"

namespace {
using DirectFile = HostStream(VARDEK_CALL *)(HostBool, const void *, uint32_t, uint32_t, uint32_t);
using DirectUser = HostStream(VARDEK_CALL *)(uint32_t, uint32_t, const HostFileProcs *, void *);

struct MemoryFile {
  const Bytes *bytes;
  uint64_t position = 0;
  int closes = 0;
};
void VARDEK_CALL MemClose(void *u) { static_cast<MemoryFile *>(u)->closes++; }
uint64_t VARDEK_CALL MemLength(void *u) { return static_cast<MemoryFile *>(u)->bytes->size(); }
uint32_t VARDEK_CALL MemRead(void *buffer, uint32_t length, void *u) {
  auto *m = static_cast<MemoryFile *>(u);
  uint32_t n = uint32_t(std::min<uint64_t>(length, m->bytes->size() - m->position));
  std::memcpy(buffer, m->bytes->data() + m->position, n);
  m->position += n;
  return n;
}
HostBool VARDEK_CALL MemSeek(uint64_t offset, void *u) {
  auto *m = static_cast<MemoryFile *>(u);
  if (offset > m->bytes->size()) return 0;
  m->position = offset;
  return 1;
}
const HostFileProcs kProcs = {MemClose, MemLength, MemRead, MemSeek};

template <typename T> T Export(const char *name) {
  void *library = dlopen(VARDEK_PLUGIN_PATH, RTLD_NOW | RTLD_NOLOAD);
  T proc = library ? reinterpret_cast<T>(dlsym(library, name)) : nullptr;
  if (library) dlclose(library);
  return proc;
}

class ChainOpen : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    ASSERT_NE(LoadRealPlugin(), 0u);
    tak = new TakFile(WriteTak("opens", "seconds=1,rate=32000,channels=2,bits=16,seed=9", "--tag Title=x"));
  }
  static void TearDownTestSuite() { delete tak; }
  void TearDown() override { EXPECT_EQ(BASS_GetOpenFileCount(), 0u); }
  static TakFile *tak;
};
TakFile *ChainOpen::tak = nullptr;

Bytes DecodeAndFree(HostStream stream) {
  EXPECT_NE(stream, 0u) << "host error " << BASS_ErrorGetCode();
  if (!stream) return {};
  Bytes all = ReadAll(stream);
  BASS_StreamFree(stream);
  return all;
}

TEST_F(ChainOpen, EveryWayGivesTheSameBytes) {
  Bytes file = ReadBytes(tak->path);
  Bytes padded(77 + file.size() + 50, 0xCD); /* bytes around the region must stay unseen */
  std::copy(file.begin(), file.end(), padded.begin() + 77);
  MemoryFile hostUser{&file}, directUser{&file};
  auto directFile = Export<DirectFile>("VARDEK_StreamCreateFile");
  auto directUserCreate = Export<DirectUser>("VARDEK_StreamCreateFileUser");
  ASSERT_TRUE(directFile && directUserCreate);

  Bytes reference = DecodeAndFree(BASS_StreamCreateFile(0, tak->path.c_str(), 0, 0, 0));
  ASSERT_FALSE(reference.empty());
  const struct { const char *way; HostStream stream; } ways[] = {
      {"memory", BASS_StreamCreateFile(1, file.data(), 0, file.size(), 0)},
      {"memory region", BASS_StreamCreateFile(1, padded.data(), 77, file.size(), 0)},
      {"file region", BASS_StreamCreateFile(0, tak->path.c_str(), 0, file.size(), 0)},
      {"user", BASS_StreamCreateFileUser(HOST_FILE_SYSTEM_NOBUFFER, 0, &kProcs, &hostUser)},
      {"direct file", directFile(0, tak->path.c_str(), 0, 0, 0)},
      {"direct memory", directFile(1, file.data(), 0, uint32_t(file.size()), 0)},
      {"direct user", directUserCreate(HOST_FILE_SYSTEM_NOBUFFER, 0, &kProcs, &directUser)},
  };
  for (const auto &way : ways) EXPECT_TRUE(DecodeAndFree(way.stream) == reference) << way.way;
  EXPECT_EQ(hostUser.closes, 1);
  EXPECT_EQ(directUser.closes, 1);
}

TEST_F(ChainOpen, StreamsOnSeveralThreadsDecodeAtOnce) {
  Bytes reference = DecodeAndFree(BASS_StreamCreateFile(0, tak->path.c_str(), 0, 0, 0));
  std::vector<int> same(4, 0);
  std::vector<std::thread> threads;
  for (size_t t = 0; t < same.size(); ++t)
    threads.emplace_back([&, t] {
      HostStream stream = BASS_StreamCreateFile(0, tak->path.c_str(), 0, 0, 0);
      same[t] = stream && ReadAll(stream, uint32_t(4000 + 400 * t)) == reference;
      BASS_StreamFree(stream);
    });
  for (std::thread &thread : threads) thread.join();
  for (size_t t = 0; t < same.size(); ++t) EXPECT_TRUE(same[t]) << "thread " << t;
}

TEST_F(ChainOpen, NonTakFileIsRefusedWithFileFormAndLeftClosed) {
  Bytes wav = ReadBytes(tak->pcmWav);
  MemoryFile user{&wav};
  const struct { const char *way; HostStream stream; } ways[] = {
      {"file", BASS_StreamCreateFile(0, tak->pcmWav.c_str(), 0, 0, 0)},
      {"memory", BASS_StreamCreateFile(1, wav.data(), 0, wav.size(), 0)},
      {"user", BASS_StreamCreateFileUser(HOST_FILE_SYSTEM_NOBUFFER, 0, &kProcs, &user)},
  };
  for (const auto &way : ways) {
    EXPECT_EQ(way.stream, 0u) << way.way;
    EXPECT_EQ(BASS_GetOpenFileCount(), 0u) << way.way;
  }
  EXPECT_EQ(user.closes, 1);
  EXPECT_EQ(BASS_StreamCreateFile(0, tak->pcmWav.c_str(), 0, 0, 0), 0u);
  EXPECT_EQ(BASS_ErrorGetCode(), HOST_ERROR_FILEFORM);
}

TEST_F(ChainOpen, NonTakFileThroughTheExportsLeavesNoFileOpen) {
  Bytes wav = ReadBytes(tak->pcmWav);
  MemoryFile user{&wav};
  auto directFile = Export<DirectFile>("VARDEK_StreamCreateFile");
  auto directUserCreate = Export<DirectUser>("VARDEK_StreamCreateFileUser");
  ASSERT_TRUE(directFile && directUserCreate);
  EXPECT_EQ(directFile(0, tak->pcmWav.c_str(), 0, 0, 0), 0u);
  EXPECT_EQ(directFile(1, wav.data(), 0, uint32_t(wav.size()), 0), 0u);
  EXPECT_EQ(directUserCreate(HOST_FILE_SYSTEM_NOBUFFER, 0, &kProcs, &user), 0u);
  EXPECT_EQ(user.closes, 1);
  EXPECT_EQ(BASS_GetOpenFileCount(), 0u);
}
}  // namespace
