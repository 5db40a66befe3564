/* A measurement, not a test: peak memory of streaming a long body over HTTP
 * from the loopback server (ranges accepted, ranges refused) against reading
 * the same bytes from a file on disk. Each case runs in a child process so
 * that its peak resident size (VmHWM) is its own. The reading pattern is a
 * player's: the header, the tag at the end, back to the start, then through
 * to the end.
 *
 *   url_memory_measure [megabytes] [window-kib]      (defaults 256, 1024) */
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "http_test_server.h"
#include "url_source.h"

namespace {

constexpr uint32_t kChunk = 64 * 1024;

long PeakKib() {
  FILE *status = std::fopen("/proc/self/status", "r");
  if (!status) return -1;
  char line[256];
  long kib = -1;
  while (std::fgets(line, sizeof line, status))
    if (std::strncmp(line, "VmHWM:", 6) == 0) kib = std::strtol(line + 6, nullptr, 10);
  std::fclose(status);
  return kib;
}

/* Checks a chunk against the body; counts mismatches instead of stopping. */
uint64_t Mismatches(const std::vector<uint8_t> &buffer, uint32_t count, uint64_t position) {
  uint64_t bad = 0;
  for (uint32_t i = 0; i < count; i++) bad += buffer[i] != BodyByte(position + i);
  return bad;
}

int MeasureUrl(bool ranges, uint64_t size, uint32_t window) {
  ServerConfig config;
  config.bodySize = size;
  config.ranges = ranges;
  HttpTestServer server(config);
  long before = PeakKib();
  UrlSourceOptions options{5000, window};
  int32_t error = 0;
  UrlSource *source = UrlSourceOpen(server.Url().c_str(), 0, nullptr, nullptr, &options, &error);
  if (!source) {
    std::printf("open failed: %d\n", error);
    return 1;
  }
  auto start = std::chrono::steady_clock::now();
  std::vector<uint8_t> buffer(kChunk);
  uint64_t bad = Mismatches(buffer, UrlSourceRead(source, buffer.data(), 4096), 0);
  UrlSourceSeek(source, size - 32);
  bad += Mismatches(buffer, UrlSourceRead(source, buffer.data(), 32), size - 32);
  UrlSourceSeek(source, 0);
  uint64_t position = 0;
  while (uint32_t got = UrlSourceRead(source, buffer.data(), kChunk)) {
    bad += Mismatches(buffer, got, position);
    position += got;
  }
  double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  UrlSourceStats stats{};
  UrlSourceGetStats(source, &stats);
  UrlSourceClose(source);
  std::printf("%-12s read %llu MiB in %.2f s, %llu bad bytes, %llu requests; buffer peak %llu KiB of %llu KiB; "
              "process peak %ld KiB (%ld KiB before open)\n",
              ranges ? "url-ranges" : "url-noranges", static_cast<unsigned long long>(position >> 20), seconds,
              static_cast<unsigned long long>(bad), static_cast<unsigned long long>(stats.requests),
              static_cast<unsigned long long>(stats.peakHeld >> 10),
              static_cast<unsigned long long>(stats.capacity >> 10), PeakKib(), before);
  return position == size && bad == 0 ? 0 : 1;
}

int MeasureDisk(uint64_t size) {
  const char *dir = std::getenv("TMPDIR");
  std::string path = std::string(dir && *dir ? dir : "/tmp") + "/url_memory_measure_XXXXXX";
  int fd = mkstemp(path.data());
  if (fd < 0) return 1;
  FILE *file = fdopen(fd, "w+b");
  std::vector<uint8_t> buffer(kChunk);
  for (uint64_t at = 0; at < size; at += kChunk) {
    uint32_t count = static_cast<uint32_t>(std::min<uint64_t>(kChunk, size - at));
    for (uint32_t i = 0; i < count; i++) buffer[i] = BodyByte(at + i);
    std::fwrite(buffer.data(), 1, count, file);
  }
  std::fflush(file);
  long before = PeakKib();
  std::fseek(file, 0, SEEK_SET);
  uint64_t position = 0, bad = 0;
  while (size_t got = std::fread(buffer.data(), 1, kChunk, file)) {
    bad += Mismatches(buffer, static_cast<uint32_t>(got), position);
    position += got;
  }
  std::fclose(file);
  unlink(path.c_str());
  std::printf("%-12s read %llu MiB, %llu bad bytes; process peak %ld KiB (%ld KiB before reading)\n", "disk",
              static_cast<unsigned long long>(position >> 20), static_cast<unsigned long long>(bad), PeakKib(), before);
  return position == size && bad == 0 ? 0 : 1;
}

/* Runs one case in a child process and returns its exit status. */
template <class Case>
int InChild(Case run) {
  std::fflush(stdout);
  pid_t child = fork();
  if (child == 0) {
    int result = run();
    std::fflush(stdout);
    std::_Exit(result);
  }
  int status = 0;
  waitpid(child, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 1;
}

}  // namespace

int main(int argc, char **argv) {
  uint64_t size = (argc > 1 ? std::strtoull(argv[1], nullptr, 10) : 256) << 20;
  uint32_t window = static_cast<uint32_t>(argc > 2 ? std::strtoul(argv[2], nullptr, 10) : 1024) << 10;
  std::printf("body %llu MiB, window %u KiB\n", static_cast<unsigned long long>(size >> 20), window >> 10);
  int failed = InChild([&] { return MeasureDisk(size); });
  failed |= InChild([&] { return MeasureUrl(true, size, window); });
  failed |= InChild([&] { return MeasureUrl(false, size, window); });
  return failed;
}
