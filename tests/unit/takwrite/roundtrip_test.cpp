/* Round trips through Debian's FFmpeg: for a table of shapes (bit depths,
 * channel counts, rates, frame layouts, signal kinds), the file takwrite_lib
 * writes must decode with `ffmpeg` to exactly the input PCM with no CRC
 * complaint, `ffprobe` must report its rate, channels and sample count, and
 * the stored MD5 must be the MD5 of the input (computed by libavutil). */
#include <gtest/gtest.h>

extern "C" {
#include <libavutil/md5.h>
}

#include "tak_writer.h"
#include "tool_runner.h"

namespace {

struct Shape {
  const char *name;
  uint16_t bits;
  uint16_t channels;
  uint32_t rate;
  int64_t samples;  /* negative: that many frames' worth plus (-samples - 1) */
  int frame_size_type;
  const char *kind;
  int info_every = 1;
  bool last_frame_block = true;
  bool with_tags = false;
};

/* Test names carry the row; print only its name in failures. */
void PrintTo(const Shape &row, std::ostream *os) { *os << row.name; }

/* Samples per channel for a row: fixed, or "k whole frames plus r". */
uint64_t shape_samples(const Shape &s) {
  return s.samples >= 0 ? static_cast<uint64_t>(s.samples)
                        : takwrite::frame_samples_for(s.frame_size_type, s.rate) *
                              static_cast<uint64_t>((-s.samples) / 1000) +
                              static_cast<uint64_t>((-s.samples) % 1000);
}
/* Encodes "k frames plus r samples" as a negative number for the table. */
constexpr int64_t frames_plus(int k, int r) { return -(k * 1000 + r); }

const Shape kShapes[] = {
    {"empty_16bit_stereo", 16, 2, 44100, 0, takwrite::kFrameAuto, "music"},
    {"one_sample_8bit_mono_8k", 8, 1, 8000, 1, takwrite::kFrameAuto, "noise"},
    {"fifteen_samples_24bit_stereo_44k", 24, 2, 44100, 15, takwrite::kFrameAuto, "noise"},
    {"sixteen_samples_16bit_mono_96k", 16, 1, 96000, 16, takwrite::kFrameAuto, "music"},
    {"one_frame_16bit_stereo_44k", 16, 2, 44100, frames_plus(1, 0), takwrite::kFrameAuto, "music"},
    {"one_frame_plus_one_16bit_stereo_44k", 16, 2, 44100, frames_plus(1, 1), takwrite::kFrameAuto, "music"},
    {"one_frame_24bit_3ch_96k", 24, 3, 96000, frames_plus(1, 0), takwrite::kFrameAuto, "music"},
    {"one_frame_plus_one_8bit_6ch_192k", 8, 6, 192000, frames_plus(1, 1), takwrite::kFrameAuto, "music"},
    {"short_last_frame_16bit_6ch_192k", 16, 6, 192000, frames_plus(3, 7), takwrite::kFrame512, "music"},
    {"last_frame_under_16_24bit_mono_8k", 24, 1, 8000, frames_plus(4, 15), takwrite::kFrame512, "sine"},
    {"many_small_frames_8bit_stereo_44k", 8, 2, 44100, frames_plus(40, 300), takwrite::kFrame512, "music"},
    {"full_scale_noise_24bit_stereo_192k", 24, 2, 192000, frames_plus(2, 100), takwrite::kFrameAuto, "noise"},
    {"full_scale_noise_16bit_3ch_8k", 16, 3, 8000, frames_plus(2, 100), takwrite::kFrameAuto, "noise"},
    {"extremes_24bit_6ch_44k", 24, 6, 44100, frames_plus(2, 20), takwrite::kFrameAuto, "extremes"},
    {"extremes_8bit_stereo_96k", 8, 2, 96000, frames_plus(2, 20), takwrite::kFrameAuto, "extremes"},
    {"silence_16bit_stereo_44k", 16, 2, 44100, frames_plus(2, 50), takwrite::kFrameAuto, "silence"},
    {"sine_16bit_stereo_8k_250ms_frames", 16, 2, 8000, frames_plus(3, 33), takwrite::kFrame250ms, "sine"},
    {"music_24bit_stereo_96k_16384_frames", 24, 2, 96000, frames_plus(2, 1), takwrite::kFrame16384, "music"},
    {"info_in_first_frame_only_16bit_stereo", 16, 2, 44100, frames_plus(5, 9), takwrite::kFrame1024, "music", 0},
    {"no_last_frame_block_with_tags", 16, 2, 44100, frames_plus(3, 5), takwrite::kFrame2048, "music", 1, false, true},
    {"last_frame_block_with_tags", 24, 1, 44100, frames_plus(3, 5), takwrite::kFrame2048, "music", 1, true, true},
    {"three_minutes_16bit_mono_8k", 16, 1, 8000, 3 * 60 * 8000, takwrite::kFrameAuto, "music"},
};

std::vector<uint8_t> synth_pcm(const Shape &s) {
  takwrite::SynthSpec spec;
  spec.kind = s.kind;
  spec.format = {s.rate, s.channels, s.bits};
  spec.samples = shape_samples(s);
  spec.noise = std::string(s.kind) == "music" ? 0.002 : 0.0;
  return takwrite::synthesize(spec);
}

/* What ffmpeg prints for our input: 8-bit as u8 and 16-bit as s16le
 * unchanged; 24-bit as s32le, the 24 bits in the top of each word. */
const char *ffmpeg_format(uint16_t bits) { return bits == 8 ? "u8" : bits == 16 ? "s16le" : "s32le"; }

std::vector<uint8_t> expected_ffmpeg_pcm(const std::vector<uint8_t> &pcm, uint16_t bits) {
  if (bits != 24)
    return pcm;
  std::vector<uint8_t> out;
  out.reserve(pcm.size() / 3 * 4);
  for (size_t i = 0; i < pcm.size(); i += 3)
    out.insert(out.end(), {0, pcm[i], pcm[i + 1], pcm[i + 2]});
  return out;
}

/* The MD5 block's 16 bytes, found by walking the metadata blocks. */
std::vector<uint8_t> stored_md5(const std::vector<uint8_t> &file) {
  for (size_t at = 4; at + 4 <= file.size();) {
    uint8_t type = file[at] & 0x7F;
    size_t size = file[at + 1] | file[at + 2] << 8 | file[at + 3] << 16;
    if (type == 0)
      break;
    if (type == 6 && size == 19 && at + 4 + 16 <= file.size())
      return std::vector<uint8_t>(file.begin() + static_cast<long>(at) + 4,
                                  file.begin() + static_cast<long>(at) + 20);
    at += 4 + size;
  }
  return {};
}

std::vector<uint8_t> libavutil_md5(const std::vector<uint8_t> &pcm) {
  std::vector<uint8_t> digest(16);
  av_md5_sum(digest.data(), pcm.data(), pcm.size());
  return digest;
}

std::string probe_value(const std::string &probe, const std::string &key) {
  size_t at = probe.find(key + "=");
  if (at == std::string::npos)
    return "";
  size_t end = probe.find('\n', at);
  return probe.substr(at + key.size() + 1, end - at - key.size() - 1);
}

class TakwriteRoundTrip : public testing::TestWithParam<Shape> {};

TEST_P(TakwriteRoundTrip, FfmpegDecodesTheInputExactly) {
  const Shape &s = GetParam();
  std::vector<uint8_t> pcm = synth_pcm(s);
  takwrite::WriteOptions options;
  options.frame_size_type = s.frame_size_type;
  options.info_every = s.info_every;
  options.last_frame_block = s.last_frame_block;
  if (s.with_tags)
    options.tags = {takwrite::text_item("Title", "Round trip"), takwrite::text_item("Track", "3")};
  std::string path = scratch_path(std::string(s.name) + ".tak"), error;
  ASSERT_TRUE(takwrite::write_tak_file(path, {s.rate, s.channels, s.bits}, pcm.data(), pcm.size(),
                                       options, error))
      << error;

  ToolResult decoded = run_tool(std::string(TAKWRITE_FFMPEG) + " -nostdin -v error -err_detect crccheck -i " +
                                shell_quoted(path) + " -f " + ffmpeg_format(s.bits) + " -");
  EXPECT_EQ(decoded.exit_code, 0);
  EXPECT_EQ(decoded.err, "");
  std::vector<uint8_t> expected = expected_ffmpeg_pcm(pcm, s.bits);
  ASSERT_EQ(decoded.out.size(), expected.size());
  EXPECT_TRUE(decoded.out == expected) << "decoded PCM differs from the input";

  EXPECT_EQ(stored_md5(read_bytes(path)), libavutil_md5(pcm));
}

TEST_P(TakwriteRoundTrip, FfprobeReportsRateChannelsAndSampleCount) {
  const Shape &s = GetParam();
  std::vector<uint8_t> pcm = synth_pcm(s);
  std::string path = scratch_path(std::string(s.name) + "-probe.tak"), error;
  takwrite::WriteOptions options;
  options.frame_size_type = s.frame_size_type;
  ASSERT_TRUE(takwrite::write_tak_file(path, {s.rate, s.channels, s.bits}, pcm.data(), pcm.size(),
                                       options, error));
  ToolResult probe = run_tool(std::string(TAKWRITE_FFPROBE) +
                              " -v error -show_entries stream=sample_rate,channels,duration_ts"
                              " -of default=noprint_wrappers=1 " + shell_quoted(path));
  ASSERT_EQ(probe.exit_code, 0) << probe.err;
  std::string text(probe.out.begin(), probe.out.end());
  EXPECT_EQ(probe_value(text, "sample_rate"), std::to_string(s.rate));
  EXPECT_EQ(probe_value(text, "channels"), std::to_string(s.channels));
  uint64_t samples = shape_samples(s);
  /* An empty stream has no duration to report. */
  EXPECT_EQ(probe_value(text, "duration_ts"), samples ? std::to_string(samples) : "N/A");
}

INSTANTIATE_TEST_SUITE_P(Shapes, TakwriteRoundTrip, testing::ValuesIn(kShapes),
                         [](const testing::TestParamInfo<Shape> &row) { return row.param.name; });

/* Each coding switch still round-trips on its own. */
struct CodingCase {
  const char *name;
  int max_predictor;
  bool decorrelation;
  bool partitions;
};

/* Test names carry the row; print only its name in failures. */
void PrintTo(const CodingCase &row, std::ostream *os) { *os << row.name; }

const CodingCase kCodingCases[] = {
    {"predictor_0", 0, true, true},      {"predictor_1", 1, true, true},
    {"predictor_2", 2, true, true},      {"predictor_3", 3, true, true},
    {"no_decorrelation", 3, false, true}, {"no_partitions", 3, true, false},
    {"plain_residuals_only", 0, false, false},
};

class TakwriteCodingSwitch : public testing::TestWithParam<CodingCase> {};

TEST_P(TakwriteCodingSwitch, StereoMusicRoundTrips) {
  const CodingCase &c = GetParam();
  takwrite::SynthSpec spec;
  spec.samples = 30000;
  spec.noise = 0.001;
  std::vector<uint8_t> pcm = takwrite::synthesize(spec);
  takwrite::WriteOptions options;
  options.max_predictor = c.max_predictor;
  options.stereo_decorrelation = c.decorrelation;
  options.partitioned_residuals = c.partitions;
  std::string path = scratch_path(std::string(c.name) + ".tak"), error;
  ASSERT_TRUE(takwrite::write_tak_file(path, spec.format, pcm.data(), pcm.size(), options, error));
  ToolResult decoded = run_tool(std::string(TAKWRITE_FFMPEG) + " -nostdin -v error -err_detect crccheck -i " +
                                shell_quoted(path) + " -f s16le -");
  EXPECT_EQ(decoded.err, "");
  EXPECT_TRUE(decoded.out == pcm);
}

INSTANTIATE_TEST_SUITE_P(Switches, TakwriteCodingSwitch, testing::ValuesIn(kCodingCases),
                         [](const testing::TestParamInfo<CodingCase> &row) { return row.param.name; });

} // namespace
