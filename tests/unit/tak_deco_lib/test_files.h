/* Helpers for the decoder library's tests: an in-memory DecoderIo that can
 * move its position between calls the way the plug-in does, TAK images from
 * takwrite_lib, and ffmpeg/ffprobe as the independent reference decoder.
 * Owns the byte images it builds; borrowed by every test file here. */
#ifndef TAK_DECO_TEST_FILES_H
#define TAK_DECO_TEST_FILES_H

#include <cstdint>
#include <string>
#include <vector>

#include "stream/decoder_interface.h"
#include "tak_writer.h"

using Bytes = std::vector<uint8_t>;

/* A stream over `bytes`. With `jumble`, every call ends by moving the
 * position somewhere else, so a reader that does not seek first reads the
 * wrong bytes. Counts the bytes read. */
struct MemoryStream {
  Bytes bytes;
  int64_t position = 0;
  bool jumble = false;
  uint32_t jumbleState = 12345;
  int64_t bytesRead = 0;
};
extern const DecoderIo kMemoryIo;

/* A TAK image of the synthesized signal `spec` (see takwrite::parse_synth_spec). */
struct TakImage {
  Bytes file;
  Bytes pcm; /* the writer's input: what a lossless decode must give */
  takwrite::PcmFormat format;
  takwrite::EncodeStats stats;
};
TakImage MakeTak(const std::string &spec, const takwrite::WriteOptions &options = {});

/* A temporary file holding `bytes`; removed by the destructor. */
struct TempFile {
  explicit TempFile(const Bytes &bytes);
  ~TempFile();
  std::string path;
};

/* ffmpeg's decode of `path` as raw PCM at the file's depth. */
Bytes FfmpegDecode(const std::string &path, int bits);

/* ffprobe's packets (one per TAK frame): byte offset and size of each. */
struct Packet {
  int64_t offset;
  int64_t size;
};
std::vector<Packet> FfprobeFrames(const std::string &path);

#endif
