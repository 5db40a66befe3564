/* The ceiling every chain is measured against: the plainest libavcodec TAK
 * decode loop over a file's bytes in memory. FFmpeg's TAK parser cuts the
 * frame data into packets, the decoder turns each into planar samples, and a
 * plain loop interleaves them into 16-bit output (the top 16 bits of wider
 * samples), one TAK frame at a time, as any consumer of the samples must.
 * Owns its codec, parser and output block for the length of one call; borrows
 * the file's bytes. Called by the decode benchmarks. */
#ifndef VARDEK_BENCH_CEILING_DECODE_H
#define VARDEK_BENCH_CEILING_DECODE_H

#include <cstdint>

#include "bench_files.h"

struct CeilingResult {
  bool ok;
  uint64_t frames;   /* sample frames decoded */
  uint32_t takFrames; /* TAK frames (packets) decoded */
};

CeilingResult CeilingDecode(const BenchFile &file);

#endif
