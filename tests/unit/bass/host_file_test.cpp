/* The file layer (slots 10 to 20): regions of disk files and memory blocks,
 * the caller's procedures, flags, closing, and the refusals with their codes. */
#include <gtest/gtest.h>

#include "host_test_support.h"

namespace {
struct RegionCase {
  uint64_t offset;
  uint64_t length;      /* as asked; 0 = to the end */
  uint64_t regionSize;  /* what FilePosition(2) must report */
};

/* The file and the memory block are both Ramp(1000). */
const RegionCase kRegions[] = {
    {0, 0, 1000},     {0, 1000, 1000}, {100, 0, 900}, {100, 50, 50},
    {999, 1, 1},      {1000, 0, 0},
};

/* Reads the whole region in small steps and checks every byte against the ramp. */
void ExpectRegionReads(HostFile file, const RegionCase &c) {
  ASSERT_NE(file, 0u) << "offset " << c.offset << " length " << c.length;
  EXPECT_EQ(_.FilePosition(file, HOST_FILEPOS_END), c.regionSize);
  Bytes all;
  uint8_t chunk[7];
  while (uint32_t got = _.FileRead(file, chunk, sizeof chunk)) all.insert(all.end(), chunk, chunk + got);
  ASSERT_EQ(all.size(), c.regionSize) << "read outside the region";
  for (size_t i = 0; i < all.size(); ++i) ASSERT_EQ(all[i], uint8_t(c.offset + i)) << "byte " << i;
  EXPECT_EQ(_.FilePosition(file, HOST_FILEPOS_CURRENT), c.regionSize);
}

TEST(HostFileRegion, DiskFileReadsOnlyInsideTheRegion) {
  TempFile disk(Ramp(1000));
  for (const RegionCase &c : kRegions) {
    HostFile file = _.FileOpen(0, disk.path(), c.offset, c.length, 0, 1);
    ExpectRegionReads(file, c);
    _.FileClose(file);
  }
  EXPECT_EQ(BASS_GetOpenFileCount(), 0u);
}

TEST(HostFileRegion, MemoryBlockReadsOnlyInsideTheRegion) {
  Bytes memory = Ramp(1000);
  for (const RegionCase &c : kRegions) {
    if (c.length == 0) continue; /* a memory block must say its length */
    HostFile file = _.FileOpen(1, memory.data(), c.offset, c.length, 0, 1);
    ExpectRegionReads(file, c);
    _.FileClose(file);
  }
}

TEST(HostFileRegion, LengthBeyondTheFileIsCutAtItsEnd) {
  TempFile disk(Ramp(100));
  HostFile file = _.FileOpen(0, disk.path(), 40, 1000, 0, 1);
  EXPECT_EQ(_.FilePosition(file, HOST_FILEPOS_END), 60u);
  _.FileClose(file);
}

TEST(HostFileRegion, SeekIsRelativeToTheRegionAndStopsAtItsEnd) {
  TempFile disk(Ramp(1000));
  HostFile file = _.FileOpen(0, disk.path(), 200, 100, 0, 1);
  uint8_t byte = 0;
  EXPECT_TRUE(_.FileSeek(file, 10));
  EXPECT_EQ(_.FileRead(file, &byte, 1), 1u);
  EXPECT_EQ(byte, uint8_t(210));
  EXPECT_TRUE(_.FileSeek(file, 100));
  EXPECT_EQ(_.FileRead(file, &byte, 1), 0u);
  EXPECT_FALSE(_.FileSeek(file, 101));
  EXPECT_EQ(_.FilePosition(file, HOST_FILEPOS_CURRENT), 100u);
  EXPECT_EQ(_.FilePosition(file, HOST_FILEPOS_DOWNLOAD), 100u);
  _.FileClose(file);
}

struct RefusalCase {
  const char *what;
  HostBool mem;
  const void *file;
  uint64_t offset;
  uint64_t length;
  int32_t code;
};

TEST(HostFileOpen, RefusalsNameTheirReason) {
  TempFile disk(Ramp(10));
  Bytes memory = Ramp(10);
  std::string missing = std::string(disk.path()) + ".missing";
  std::string directory = std::filesystem::temp_directory_path().string();
  const RefusalCase cases[] = {
      {"missing file", 0, missing.c_str(), 0, 0, HOST_ERROR_FILEOPEN},
      {"directory", 0, directory.c_str(), 0, 0, HOST_ERROR_FILEOPEN},
      {"offset past the end", 0, disk.path(), 11, 0, HOST_ERROR_ILLPARAM},
      {"memory without length", 1, memory.data(), 0, 0, HOST_ERROR_ILLPARAM},
      {"null name", 0, nullptr, 0, 0, HOST_ERROR_ILLPARAM},
  };
  for (const RefusalCase &c : cases) {
    _.ReportError(HOST_OK);
    EXPECT_EQ(_.FileOpen(c.mem, c.file, c.offset, c.length, 0, 1), 0u) << c.what;
    EXPECT_EQ(BASS_ErrorGetCode(), c.code) << c.what;
  }
  EXPECT_EQ(BASS_GetOpenFileCount(), 0u);
}

TEST(HostFileOpen, SuccessClearsAStaleCode) {
  TempFile disk(Ramp(10));
  _.ReportError(HOST_ERROR_FILEFORM);
  HostFile file = _.FileOpen(0, disk.path(), 0, 0, 0, 1);
  EXPECT_EQ(BASS_ErrorGetCode(), HOST_OK);
  _.FileClose(file);
}

TEST(HostFileFlags, RestrateIsCopiedAndBlockStreamingIsRefused) {
  TempFile disk(Ramp(10));
  const struct { uint32_t open, flags; } cases[] = {
      {0, 0},
      {HOST_FILE_RESTRATE, HOST_FILE_RESTRATE},
      {BASS_STREAM_BLOCK, HOST_FILE_REFUSED},
      {0x80000000u | BASS_SAMPLE_FLOAT, 0},
  };
  for (const auto &c : cases) {
    HostFile file = _.FileOpen(0, disk.path(), 0, 0, c.open, 1);
    EXPECT_EQ(_.FileGetFlags(file), c.flags) << std::hex << c.open;
    _.FileClose(file);
  }
}

TEST(HostFileHandles, StaleHandlesAreHarmless) {
  uint8_t byte;
  EXPECT_EQ(_.FileRead(12345, &byte, 1), 0u);
  EXPECT_FALSE(_.FileSeek(12345, 0));
  EXPECT_EQ(_.FilePosition(12345, HOST_FILEPOS_END), UINT64_MAX);
  EXPECT_EQ(_.FileGetFlags(12345), 0u);
  _.FileClose(12345);
  EXPECT_FALSE(_.FileBindStream(12345, 1));
}

/* ---- the caller's procedures ---- */

struct UserFile {
  Bytes bytes = Ramp(300);
  uint64_t position = 0;
  int closes = 0;
  uint32_t largestAsk = 0;
};

void VARDEK_CALL UserClose(void *user) { static_cast<UserFile *>(user)->closes++; }
uint64_t VARDEK_CALL UserLength(void *user) { return static_cast<UserFile *>(user)->bytes.size(); }
/* Gives at most 7 bytes per call, as a slow source may. */
uint32_t VARDEK_CALL UserRead(void *buffer, uint32_t length, void *user) {
  auto *f = static_cast<UserFile *>(user);
  f->largestAsk = std::max(f->largestAsk, length);
  uint32_t n = uint32_t(std::min<uint64_t>({length, 7, f->bytes.size() - f->position}));
  std::memcpy(buffer, f->bytes.data() + f->position, n);
  f->position += n;
  return n;
}
HostBool VARDEK_CALL UserSeek(uint64_t offset, void *user) {
  auto *f = static_cast<UserFile *>(user);
  if (offset > f->bytes.size()) return 0;
  f->position = offset;
  return 1;
}
const HostFileProcs kUserProcs = {UserClose, UserLength, UserRead, UserSeek};

TEST(HostFileUser, ReadsThroughTheCallersProceduresUntilFilled) {
  UserFile user;
  HostFile file = _.FileOpenUser(HOST_FILE_SYSTEM_NOBUFFER, 0, &kUserProcs, &user, 1);
  ASSERT_NE(file, 0u);
  EXPECT_EQ(_.FilePosition(file, HOST_FILEPOS_END), 300u);
  ASSERT_TRUE(_.FileSeek(file, 290));
  uint8_t buffer[20] = {};
  EXPECT_EQ(_.FileRead(file, buffer, 20), 10u);
  EXPECT_EQ(buffer[0], uint8_t(290 % 256));
  EXPECT_EQ(buffer[9], uint8_t(299 % 256));
  EXPECT_EQ(_.FilePosition(file, HOST_FILEPOS_CURRENT), 300u);
  EXPECT_FALSE(_.FileSeek(file, 301));
  EXPECT_EQ(user.closes, 0);
  _.FileClose(file);
  EXPECT_EQ(user.closes, 1);
}

TEST(HostFileUser, OnlyTheNoBufferingSystemWithAllProceduresIsTaken) {
  UserFile user;
  HostFileProcs noSeek = kUserProcs;
  noSeek.seek = nullptr;
  const struct { uint32_t system; const HostFileProcs *procs; int32_t code; } cases[] = {
      {HOST_FILE_SYSTEM_BUFFER, &kUserProcs, HOST_ERROR_NOTAVAIL},
      {HOST_FILE_SYSTEM_BUFFERPUSH, &kUserProcs, HOST_ERROR_NOTAVAIL},
      {7, &kUserProcs, HOST_ERROR_ILLTYPE},
      {HOST_FILE_SYSTEM_NOBUFFER, &noSeek, HOST_ERROR_ILLPARAM},
      {HOST_FILE_SYSTEM_NOBUFFER, nullptr, HOST_ERROR_ILLPARAM},
  };
  for (const auto &c : cases) {
    EXPECT_EQ(_.FileOpenUser(c.system, 0, c.procs, &user, 1), 0u) << c.system;
    EXPECT_EQ(BASS_ErrorGetCode(), c.code) << c.system;
  }
  EXPECT_EQ(user.closes, 0) << "a refused open must not close the caller's file";
}

TEST(HostFileUrl, UnreachableUrlGivesNoFileAndAReason) {
  BASS_SetConfig(BASS_CONFIG_NET_TIMEOUT, 500);
  _.ReportError(HOST_OK);
  EXPECT_EQ(_.FileOpenURL("http://127.0.0.1:1/none.tak", 0, 0, nullptr, nullptr, 1), 0u);
  EXPECT_NE(BASS_ErrorGetCode(), HOST_OK);
  EXPECT_EQ(_.FileOpenURL(nullptr, 0, 0, nullptr, nullptr, 1), 0u);
  EXPECT_EQ(BASS_ErrorGetCode(), HOST_ERROR_ILLPARAM);
  BASS_SetConfig(BASS_CONFIG_NET_TIMEOUT, 5000);
  EXPECT_EQ(BASS_GetOpenFileCount(), 0u);
}

/* ---- binding ---- */

uint32_t VARDEK_CALL SilentProc(HostStream, void *, uint32_t, void *) { return HOST_STREAM_END; }

TEST(HostFileBinding, BoundFileClosesWithItsStreamOnly) {
  UserFile user;
  HostFile file = _.FileOpenUser(HOST_FILE_SYSTEM_NOBUFFER, 0, &kUserProcs, &user, 1);
  HostStream stream = _.CreateStream(44100, 2, 0, SilentProc, nullptr, nullptr);
  ASSERT_NE(stream, 0u);
  EXPECT_TRUE(_.FileBindStream(file, stream));
  _.FileClose(file); /* the stream owns it now */
  EXPECT_EQ(user.closes, 0);
  EXPECT_EQ(_.FilePosition(file, HOST_FILEPOS_END), 300u);
  EXPECT_TRUE(BASS_StreamFree(stream));
  EXPECT_EQ(user.closes, 1);
  EXPECT_EQ(BASS_GetOpenFileCount(), 0u);
}
}  // namespace
