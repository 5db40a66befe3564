/* The conversion kernels as they run in the plug-in: one call of the sample
 * procedure (TakStreamProc, compiled into this program from the plug-in's own
 * source) on a stream record of a given width, with the decoder's part of the
 * call stubbed out, so that what is timed is the fresh scratch block and the
 * one conversion pass; and memcpy of the same input bytes beside each.
 * Called by the benchmark registrations and the summary. */
#ifndef VARDEK_BENCH_KERNEL_CASES_H
#define VARDEK_BENCH_KERNEL_CASES_H

#include <cstdint>
#include <string>
#include <vector>

struct KernelCase {
  std::string key;   /* benchmark name part */
  std::string label; /* summary row */
  uint16_t bits;     /* decoded width */
  bool floatOutput;
};

/* Bytes of output one request asks for in every kernel case. */
constexpr uint32_t kKernelRequest = 64 * 1024;

const std::vector<KernelCase> &KernelCases();

/* Decoded bytes one request of `c` converts (what its memcpy copies). */
uint32_t KernelInputBytes(const KernelCase &c);

/* One sample-procedure call on a stereo stream of `c`'s width; returns the
 * byte count it reports. */
uint32_t RunKernel(const KernelCase &c, void *output);

#endif
