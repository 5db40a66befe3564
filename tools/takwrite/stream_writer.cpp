/* The whole TAK file image: the "tBaK" marker, the metadata blocks (stream
 * information, MD5 of the PCM, position and size of the last frame, end),
 * the frames, then the tags. Splits the interleaved PCM into frames of planes
 * and hands each to the frame encoder. Borrows the caller's PCM and options,
 * fills the caller's output buffer. Called by the takwrite command, tests and
 * benchmarks through tak_writer.h. */
#include <cstdio>
#include <memory>

#include "tak_internal.h"

namespace takwrite {

namespace {

constexpr uint8_t kBlockEnd = 0;
constexpr uint8_t kBlockStreamInfo = 1;
constexpr uint8_t kBlockMd5 = 6;
constexpr uint8_t kBlockLastFrame = 7;
constexpr uint32_t kMinRate = 6000;
constexpr uint32_t kMaxRate = kMinRate + (1u << 18) - 1;
constexpr uint64_t kMaxFrames = 1u << 21;
constexpr uint64_t kMaxSamples = (1ull << 35) - 1;

void append_le(std::vector<uint8_t> &out, uint64_t value, int bytes) {
  for (int i = 0; i < bytes; ++i)
    out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

void append_block(std::vector<uint8_t> &out, uint8_t type, const std::vector<uint8_t> &payload) {
  out.push_back(type);
  append_le(out, payload.size() + 3, 3);
  size_t start = out.size();
  out.insert(out.end(), payload.begin(), payload.end());
  append_crc24(out, start);
}

bool check_format(const PcmFormat &f, size_t bytes, const WriteOptions &o, std::string &error) {
  if (f.channels < 1 || f.channels > 6)
    error = "channels must be 1 to 6";
  else if (f.bits != 8 && f.bits != 16 && f.bits != 24)
    error = "bits per sample must be 8, 16 or 24";
  else if (f.sample_rate < kMinRate || f.sample_rate > kMaxRate)
    error = "sample rate must be 6000 to 268143 Hz";
  else if (bytes % (f.channels * (f.bits / 8u)) != 0)
    error = "PCM size is not a whole number of sample frames";
  else if (o.max_predictor < 0 || o.max_predictor > 3)
    error = "predictor order must be 0 to 3";
  else if (o.info_every < 0)
    error = "stream information interval must not be negative";
  else if (frame_samples_for(o.frame_size_type, f.sample_rate) == 0)
    error = "frame-size type not allowed at this sample rate";
  return error.empty();
}

int32_t read_sample(const uint8_t *p, int bits) {
  if (bits == 8)
    return static_cast<int32_t>(p[0]) - 128;
  if (bits == 16)
    return static_cast<int16_t>(static_cast<uint16_t>(p[0] | p[1] << 8));
  uint32_t v = p[0] | p[1] << 8 | static_cast<uint32_t>(p[2]) << 16;
  return static_cast<int32_t>(v << 8) >> 8;
}

void load_frame(const PcmFormat &f, const uint8_t *pcm, uint64_t first, uint32_t count,
                FrameAudio &audio) {
  size_t width = f.bits / 8u;
  audio.count = count;
  audio.planes.assign(f.channels, std::vector<int32_t>(count));
  const uint8_t *p = pcm + first * f.channels * width;
  for (uint32_t i = 0; i < count; ++i)
    for (int ch = 0; ch < f.channels; ++ch, p += width)
      audio.planes[ch][i] = read_sample(p, f.bits);
}

struct FrameRun {
  std::vector<uint8_t> bytes;
  uint64_t last_offset = 0;
  uint64_t last_size = 0;
  uint32_t frames = 0;
};

FrameRun encode_frames(const FrameSetup &setup, const uint8_t *pcm, uint32_t frame_samples) {
  FrameRun run;
  const WriteOptions &o = *setup.options;
  FrameAudio audio;
  for (uint64_t first = 0; first < setup.total_samples; first += frame_samples) {
    uint64_t left = setup.total_samples - first;
    uint32_t count = left < frame_samples ? static_cast<uint32_t>(left) : frame_samples;
    bool is_last = left <= frame_samples;
    bool with_info = run.frames == 0 || (o.info_every > 0 && run.frames % o.info_every == 0);
    load_frame(setup.format, pcm, first, count, audio);
    run.last_offset = run.bytes.size();
    encode_frame(setup, run.frames, is_last, with_info, audio, run.bytes);
    run.last_size = run.bytes.size() - run.last_offset;
    ++run.frames;
  }
  return run;
}

std::vector<uint8_t> stream_info_payload(const FrameSetup &setup) {
  BitWriter w;
  put_stream_info(w, setup);
  align_to_byte(w);
  return w.bytes;
}

std::vector<uint8_t> last_frame_payload(const FrameRun &run) {
  std::vector<uint8_t> payload;
  append_le(payload, run.last_offset, 5);
  append_le(payload, run.last_size, 3);
  return payload;
}

} // namespace

uint32_t frame_samples_for(int type, uint32_t rate) {
  static const uint32_t kQuanta[10] = {3, 4, 6, 8, 4096, 8192, 16384, 512, 1024, 2048};
  if (type == kFrameAuto)
    type = frame_samples_for(kFrame94ms, rate) ? kFrame94ms : kFrame4096;
  if (type < 0 || type > 9)
    return 0;
  uint64_t n, limit;
  if (type <= kFrame250ms) {
    n = (static_cast<uint64_t>(rate) * kQuanta[type]) >> 5;
    limit = 16384;
  } else {
    n = kQuanta[type];
    limit = (static_cast<uint64_t>(rate) * 8) >> 5;
  }
  return n > 0 && n <= limit ? static_cast<uint32_t>(n) : 0;
}

bool encode_tak(const PcmFormat &format, const uint8_t *pcm, size_t bytes,
                const WriteOptions &options, std::vector<uint8_t> &out, std::string &error,
                EncodeStats *stats) {
  error.clear();
  if (!check_format(format, bytes, options, error))
    return false;
  EncodeStats counters;
  FrameSetup setup;
  setup.format = format;
  setup.options = &options;
  setup.stats = &counters;
  setup.frame_size_type = options.frame_size_type == kFrameAuto
                              ? (frame_samples_for(kFrame94ms, format.sample_rate) ? kFrame94ms : kFrame4096)
                              : options.frame_size_type;
  setup.total_samples = bytes / (format.channels * (format.bits / 8u));
  uint32_t frame_samples = frame_samples_for(setup.frame_size_type, format.sample_rate);
  if (setup.total_samples > kMaxSamples ||
      (setup.total_samples + frame_samples - 1) / frame_samples > kMaxFrames) {
    error = "too many samples for one TAK stream";
    return false;
  }

  FrameRun run = encode_frames(setup, pcm, frame_samples);
  out.assign({'t', 'B', 'a', 'K'});
  append_block(out, kBlockStreamInfo, stream_info_payload(setup));
  if (options.md5_block) {
    std::array<uint8_t, 16> digest = md5(pcm, bytes);
    append_block(out, kBlockMd5, std::vector<uint8_t>(digest.begin(), digest.end()));
  }
  /* An empty stream still gets the block (offset 0, size 0), so that readers
   * that trust it stop before the tags instead of searching them for frames. */
  if (options.last_frame_block)
    append_block(out, kBlockLastFrame, last_frame_payload(run));
  out.insert(out.end(), {kBlockEnd, 0, 0, 0});
  out.insert(out.end(), run.bytes.begin(), run.bytes.end());
  std::vector<uint8_t> tags = build_tags(options, out.size());
  out.insert(out.end(), tags.begin(), tags.end());

  if (stats) {
    *stats = counters;
    stats->samples = setup.total_samples;
    stats->frame_samples = frame_samples;
    stats->frames = run.frames;
    stats->audio_bytes = run.bytes.size();
    stats->file_bytes = out.size();
  }
  return true;
}

bool write_tak_file(const std::string &path, const PcmFormat &format, const uint8_t *pcm,
                    size_t bytes, const WriteOptions &options, std::string &error,
                    EncodeStats *stats) {
  std::vector<uint8_t> image;
  if (!encode_tak(format, pcm, bytes, options, image, error, stats))
    return false;
  std::unique_ptr<FILE, int (*)(FILE *)> file(std::fopen(path.c_str(), "wb"), std::fclose);
  if (!file || std::fwrite(image.data(), 1, image.size(), file.get()) != image.size()) {
    error = "cannot write " + path;
    return false;
  }
  if (std::fclose(file.release()) != 0) {
    error = "cannot write " + path;
    return false;
  }
  return true;
}

} // namespace takwrite
