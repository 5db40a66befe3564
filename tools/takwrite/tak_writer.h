/* takwrite_lib: a small lossless TAK writer for tests, benchmarks and the
 * demo file. This header is the whole public interface: plain records for the
 * PCM format, the writer options and APEv2 items, and plain functions that
 * turn interleaved PCM into a complete TAK file image (in memory or on disk),
 * build the tags on their own, read and write PCM WAV files, and synthesize
 * deterministic test signals. It owns nothing beyond the buffers it returns;
 * callers own every record they pass in. Used by the `takwrite` command, by
 * the unit, integration and fuzz tests and by the benchmarks.
 *
 * What a written file holds, in order:
 *   "tBaK", then metadata blocks, each a type byte, a 24-bit little-endian
 *   size (payload + 3), the payload and a 24-bit CRC of the payload:
 *     STREAMINFO (1): the 80-bit stream information (10 bytes);
 *     MD5 (6, optional): 16 bytes;
 *     LAST_FRAME (7, optional): 40-bit offset of the last frame counted from
 *       the first frame, 24-bit size of the last frame (offset and size 0 for
 *       an empty stream);
 *     END (0): size 0, no payload, no CRC;
 *   then the frames (each with stream information in its header by default);
 *   then the optional APEv2 tag (with optional header) and the optional
 *   128-byte ID3v1 tag.
 * The MD5 is taken over the PCM bytes exactly as given (the WAV data chunk:
 * interleaved, little-endian, 8-bit unsigned).
 * Frames: codec 2 (mono/stereo) for 1-2 channels, codec 4 (multichannel) for
 * 3-6; residuals of the fixed predictors of order 0-3 per channel, optional
 * stereo decorrelation (left/side, side/right, side/mid), each coded with the
 * best of TAK's 50 residual codes, either for the whole frame or for
 * partitions of it; frames under 16 samples store raw samples. */
#ifndef VARDEK_TAK_WRITER_H
#define VARDEK_TAK_WRITER_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace takwrite {

/* Layout of the interleaved PCM the writer reads. */
struct PcmFormat {
  uint32_t sample_rate = 44100; /* 6000 to 268143 Hz */
  uint16_t channels = 2;        /* 1 to 6 */
  uint16_t bits = 16;           /* 8 (unsigned), 16 or 24 (signed) */
};

/* One APEv2 item. Text items carry UTF-8 bytes without a terminator. */
struct ApeItem {
  std::string key;
  std::vector<uint8_t> value;
  bool binary = false;
};

/* Deliberate damage to the APEv2 footer, for error-path tests. */
enum class BrokenFooter {
  none,
  preamble,       /* "APETAGEx" instead of "APETAGEX" */
  version,        /* version 1000 instead of 2000 (still a readable tag) */
  size_zero,      /* tag size 0 */
  size_small,     /* tag size 16, below the footer's own size */
  size_huge,      /* tag size 0x01000000 (16 MiB) */
  size_max_ok,    /* tag size 0x00FFFFFF: just below 16 MiB */
  size_past_file, /* tag size larger than the whole file */
  count_high,     /* item count one more than the items present */
  truncated,      /* footer cut to its first 16 bytes */
};

/* Frame-size types of the format: 0-3 are durations, 4-9 sample counts. */
enum FrameSizeType : int {
  kFrame94ms = 0, kFrame125ms = 1, kFrame188ms = 2, kFrame250ms = 3,
  kFrame4096 = 4, kFrame8192 = 5, kFrame16384 = 6,
  kFrame512 = 7, kFrame1024 = 8, kFrame2048 = 9,
  kFrameAuto = -1, /* 94 ms where the rate allows it, else 4096 samples */
};

struct WriteOptions {
  int frame_size_type = kFrameAuto;
  int max_predictor = 3;          /* highest fixed predictor order tried, 0-3 */
  bool stereo_decorrelation = true;
  bool partitioned_residuals = true; /* allow per-partition residual codes */
  int info_every = 1;             /* stream info in frames 0, N, 2N...; 0: frame 0 only */
  bool md5_block = true;
  bool last_frame_block = true;
  std::vector<ApeItem> tags;      /* empty: no APEv2 tag */
  bool ape_header = false;        /* also write the optional APEv2 header */
  bool id3v1 = false;             /* append an ID3v1 tag after the APEv2 tag */
  BrokenFooter broken_footer = BrokenFooter::none;
};

/* What encode_tak produced, for reports and tests. */
struct EncodeStats {
  uint64_t samples = 0;       /* per channel */
  uint32_t frame_samples = 0; /* samples per full frame */
  uint32_t frames = 0;
  uint64_t audio_bytes = 0;   /* bytes of all frames */
  uint64_t file_bytes = 0;
  /* How the audio was coded. */
  uint32_t raw_frames = 0;            /* frames under 16 samples */
  uint32_t predictor_uses[4] = {};    /* channels coded with fixed predictor order 0-3 */
  uint32_t stereo_mode_uses[4] = {};  /* stereo frames: independent, left/side,
                                         side/right, side/mid */
  uint32_t single_code_blocks = 0;    /* residual blocks with one code */
  uint32_t partitioned_blocks = 0;    /* residual blocks with a code per partition */
};

/* Samples per frame for a frame-size type at a rate; 0 if the format does not
 * allow that pair. kFrameAuto resolves as documented above. */
uint32_t frame_samples_for(int frame_size_type, uint32_t sample_rate);

/* Encodes `bytes` bytes of interleaved PCM (a whole number of sample frames)
 * into a complete TAK file image in `out` (replaced). Returns false and sets
 * `error` when the format or options are not writable. `stats` may be null. */
bool encode_tak(const PcmFormat &format, const uint8_t *pcm, size_t bytes,
                const WriteOptions &options, std::vector<uint8_t> &out,
                std::string &error, EncodeStats *stats = nullptr);

/* encode_tak, then writes the image to `path`. */
bool write_tak_file(const std::string &path, const PcmFormat &format,
                    const uint8_t *pcm, size_t bytes, const WriteOptions &options,
                    std::string &error, EncodeStats *stats = nullptr);

/* The tag bytes that encode_tak appends after the frames: APEv2 tag (header if
 * asked, items in order, footer, damaged as asked) then the ID3v1 tag if
 * asked. `file_bytes_before` is the size of everything before the tag (used by
 * BrokenFooter::size_past_file). Empty when there is nothing to write. */
std::vector<uint8_t> build_tags(const WriteOptions &options, uint64_t file_bytes_before);

/* Helpers for item lists: a UTF-8 text item, and "Key=Value" parsing. */
ApeItem text_item(const std::string &key, const std::string &value);
bool parse_broken_footer(const std::string &name, BrokenFooter &kind);

/* PCM WAV files (format 1 or WAVE_FORMAT_EXTENSIBLE with PCM subformat). */
bool read_wav_file(const std::string &path, PcmFormat &format,
                   std::vector<uint8_t> &pcm, std::string &error);
bool parse_wav(const uint8_t *data, size_t size, PcmFormat &format,
               std::vector<uint8_t> &pcm, std::string &error);
std::vector<uint8_t> make_wav(const PcmFormat &format, const uint8_t *pcm, size_t bytes);
bool write_wav_file(const std::string &path, const PcmFormat &format,
                    const std::vector<uint8_t> &pcm, std::string &error);

/* Deterministic test signals. SPEC is "key=value,..." with keys
 *   seconds (default 3) or samples (per channel, wins over seconds),
 *   rate (44100), channels (2), bits (16), seed (1), noise (0.0 - 1.0, 0),
 *   kind: music (default: notes with harmonics and envelopes), sine (440 Hz),
 *         noise (full-scale white noise), silence, extremes (alternating
 *         full-scale minimum and maximum).
 * Same spec, same bytes. */
struct SynthSpec {
  std::string kind = "music";
  PcmFormat format;
  uint64_t samples = 3 * 44100;
  uint32_t seed = 1;
  double noise = 0.0;
};
bool parse_synth_spec(const std::string &text, SynthSpec &spec, std::string &error);
std::vector<uint8_t> synthesize(const SynthSpec &spec); /* interleaved PCM */

} // namespace takwrite

#endif
