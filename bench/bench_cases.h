/* The benchmark cases, registered with Google Benchmark per file: decode
 * throughput (host + plug-in with 16-bit and float output, the plain
 * libavcodec loop, the ffmpeg command), stream open time, seek + first read,
 * peak memory of a whole decode in a process of its own, and the conversion
 * kernels beside memcpy. Each case's name is "<measure>/<file or kernel>";
 * the summary looks the figures up by those names. Borrows the files, which
 * must outlive the run. */
#ifndef VARDEK_BENCH_BENCH_CASES_H
#define VARDEK_BENCH_BENCH_CASES_H

#include <cstdint>
#include <string>
#include <vector>

#include "bench_files.h"

/* Bytes one seek's first read asks for (1024 frames of 16-bit stereo). */
constexpr uint32_t kSeekRequest = 4096;

struct BenchPaths {
  std::string plugin;       /* the plug-in library */
  std::string decodeToEnd;  /* the bench_decode_to_end program */
};

void RegisterBenchCases(const std::vector<BenchFile> &files, const BenchPaths &paths);

#endif
