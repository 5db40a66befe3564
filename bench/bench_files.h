/* The files every benchmark runs on: three TAK files that the build writes
 * with takwrite into its own data directory (one minute and sixty minutes of
 * music-like 44.1 kHz stereo 16-bit, one minute of 96 kHz stereo 24-bit), their
 * format, and their bytes loaded once into memory for the in-memory decodes.
 * Owns the loaded bytes; called by the benchmark registrations and the summary. */
#ifndef VARDEK_BENCH_FILES_H
#define VARDEK_BENCH_FILES_H

#include <cstdint>
#include <string>
#include <vector>

struct BenchFile {
  std::string key;   /* short name used in benchmark names */
  std::string label; /* column heading of the summary */
  std::string path;
  uint32_t rate;
  uint16_t channels;
  uint16_t bits;
  double seconds;
  std::vector<uint8_t> bytes; /* the whole file, followed by zero padding */
  uint64_t size;              /* bytes of the file itself */
};

/* The three files, in column order. False (with a message on stderr) when one
 * is missing: the build target bench_files makes them. */
bool LoadBenchFiles(std::vector<BenchFile> &files);

/* Sample frames in the file. */
inline uint64_t FileFrames(const BenchFile &file) { return uint64_t(file.seconds * file.rate); }

#endif
