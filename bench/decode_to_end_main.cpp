/* bench_decode_to_end: opens one TAK file from disk through the host and the
 * plug-in, decodes it to the end with 16-bit (or float) output and prints
 * its peak resident memory ("VmHWM <kB>") and the bytes decoded. The
 * benchmark runs it as a process of its own, so that the peak belongs to the
 * decode alone; it is also the program to profile a whole decode with.
 * Usage: bench_decode_to_end PLUGIN FILE [float] */
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "host_chain.h"

namespace {

/* The process's peak resident set in kB from /proc/self/status, or -1. */
long PeakResidentKb() {
  std::FILE *status = std::fopen("/proc/self/status", "r");
  if (!status) return -1;
  char line[256];
  long kb = -1;
  while (std::fgets(line, sizeof line, status))
    if (std::strncmp(line, "VmHWM:", 6) == 0) kb = std::atol(line + 6);
  std::fclose(status);
  return kb;
}

}  // namespace

int main(int argc, char **argv) {
  const bool floatOutput = argc == 4 && std::strcmp(argv[3], "float") == 0;
  if (argc != 3 && !floatOutput) {
    std::fprintf(stderr, "usage: bench_decode_to_end PLUGIN FILE [float]\n");
    return 2;
  }
  if (!LoadPlugin(argv[1])) return 1;
  const HostStream stream = OpenPathStream(argv[2], floatOutput);
  if (!stream) return 1;
  std::vector<uint8_t> buffer(kDrainRequest);
  const uint64_t bytes = DrainStream(stream, buffer.data());
  BASS_StreamFree(stream);
  std::printf("VmHWM %ld\nbytes %llu\n", PeakResidentKb(), static_cast<unsigned long long>(bytes));
  return 0;
}
