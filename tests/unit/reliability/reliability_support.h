/* Helpers shared by the reliability suites: TAK images written in memory by
 * takwrite_lib, the real plug-in loaded into the real host, reading a stream
 * to its end, streams over the three ways a file can be opened (file name,
 * memory block, caller's procedures), ffprobe's frame offsets as the
 * independent account of where frames start, and the process's live heap
 * as a number. Owns the temporary files it writes (removed at exit). */
#ifndef VARDEK_RELIABILITY_SUPPORT_H
#define VARDEK_RELIABILITY_SUPPORT_H

#include <cstdint>
#include <string>
#include <vector>

#include "bass_api.h"
#include "tak_writer.h"

using Bytes = std::vector<uint8_t>;

/* A TAK image of the synthesized signal `spec` and the PCM it was made from. */
struct TakImage {
  Bytes file;
  Bytes pcm;
  takwrite::PcmFormat format;
  takwrite::EncodeStats stats;
};
TakImage MakeTak(const std::string &spec, const takwrite::WriteOptions &options = {});

/* A file of `bytes` under the system's temporary directory; removed at exit. */
std::string WriteTempFile(const std::string &name, const Bytes &bytes);

/* Loads the real plug-in into the host (once per process); false on failure. */
bool LoadPlugin();

/* The whole output of `stream` from its position, in `chunk`-byte requests;
 * stops after `limit` bytes so that a stream that never ends still returns. */
Bytes ReadAll(HostStream stream, uint32_t chunk = 65536, uint64_t limit = 1u << 30);

/* A caller-procedure file over borrowed bytes. */
struct MemoryUser {
  const Bytes *bytes;
  uint64_t position;
};
extern const HostFileProcs kMemoryProcs;

/* Byte offset and size of every TAK frame of the file at `path`, as ffprobe
 * sees them. */
struct FrameSpan {
  int64_t offset;
  int64_t size;
};
std::vector<FrameSpan> FfprobeFrames(const std::string &path);

/* Bytes the process's allocator has handed out and not taken back: the
 * sanitizer's own count under ASan or TSan, glibc's mallinfo2 otherwise. */
uint64_t LiveHeapBytes();

#endif
