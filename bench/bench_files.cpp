/* The benchmark files (see bench_files.h). Their directory comes from the
 * build (VARDEK_BENCH_DATA_DIR), their names spell out the synthesized signal
 * that takwrite made them from, so a changed signal makes a new file instead of
 * reusing a stale one. */
#include "bench_files.h"

#include <cstdio>

namespace {

constexpr size_t kPadding = 64; /* parsers may read a little past the end */

bool ReadWhole(const std::string &path, std::vector<uint8_t> &bytes, uint64_t &size) {
  std::FILE *f = std::fopen(path.c_str(), "rb");
  if (!f) return false;
  bool ok = std::fseek(f, 0, SEEK_END) == 0;
  const long length = ok ? std::ftell(f) : -1;
  ok = ok && length > 0 && std::fseek(f, 0, SEEK_SET) == 0;
  if (ok) {
    bytes.assign(size_t(length) + kPadding, 0);
    ok = std::fread(bytes.data(), 1, size_t(length), f) == size_t(length);
    size = uint64_t(length);
  }
  std::fclose(f);
  return ok;
}

}  // namespace

bool LoadBenchFiles(std::vector<BenchFile> &files) {
  const std::string dir = VARDEK_BENCH_DATA_DIR;
  files = {
      {"1min", "1 min 44.1k/16", dir + "/music-44k16-60s.tak", 44100, 2, 16, 60.0, {}, 0},
      {"60min", "60 min 44.1k/16", dir + "/music-44k16-3600s.tak", 44100, 2, 16, 3600.0, {}, 0},
      {"1min96k", "1 min 96k/24", dir + "/music-96k24-60s.tak", 96000, 2, 24, 60.0, {}, 0},
  };
  for (BenchFile &file : files) {
    if (!ReadWhole(file.path, file.bytes, file.size)) {
      std::fprintf(stderr, "bench: cannot read %s (build the bench_files target)\n",
                   file.path.c_str());
      return false;
    }
  }
  return true;
}
