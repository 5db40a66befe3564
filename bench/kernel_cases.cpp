/* The kernel cases (see kernel_cases.h). This file and the plug-in's
 * sample_delivery.cpp are built with tak_SSD_ReadAudio renamed to
 * BenchKernelReadAudio, so the procedure calls the stub below and not the
 * decoder library; `_` is the real host's table, so float output goes
 * through the host's IntToFloat. */
#include "kernel_cases.h"

#include "stream/sample_delivery.h"
#include "stream/tak_stream.h"

/* The decoder's part: every frame asked for is "decoded" at once, leaving the
 * scratch block as the heap gave it. */
extern "C" int32_t VARDEK_CALL tak_SSD_ReadAudio(TakDecoder *, void *, int32_t wanted, int32_t *got) {
  *got = wanted;
  return 0;
}

const std::vector<KernelCase> &KernelCases() {
  static const std::vector<KernelCase> cases = {
      {"24to16", "24 -> 16-bit", 24, false},
      {"8to16", "8 -> 16-bit", 8, false},
      {"16to16", "16 -> 16-bit (copy)", 16, false},
      {"16tofloat", "16-bit -> float", 16, true},
      {"24tofloat", "24-bit -> float", 24, true},
  };
  return cases;
}

uint32_t KernelInputBytes(const KernelCase &c) {
  const uint32_t frames = kKernelRequest / (c.floatOutput ? 8u : 4u);
  return frames * 2u * (c.bits / 8u);
}

uint32_t RunKernel(const KernelCase &c, void *output) {
  static int decoderStandIn = 0;
  TakStream record{};
  record.decoder = reinterpret_cast<TakDecoder *>(&decoderStandIn);
  record.channels = 2;
  record.bits = c.bits;
  record.flags = c.floatOutput ? kStreamFlagFloat : 0u;
  return TakStreamProc(0, output, kKernelRequest, &record);
}
