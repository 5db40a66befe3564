/* The takwrite command: its help names every option, WAV input of each kind
 * round-trips through ffmpeg, --synth is deterministic and matches the
 * library, tags given on the command line are readable by ffprobe in order,
 * bad input or options fail with a message and a non-zero exit, and the
 * build's demo.tak is what `make run` expects. */
#include <gtest/gtest.h>

#include "tak_writer.h"
#include "tool_runner.h"

namespace {

std::string takwrite_cmd(const std::string &args) { return std::string(TAKWRITE_EXE) + " " + args; }

std::string ffmpeg_decode(const std::string &path, const char *format) {
  return std::string(TAKWRITE_FFMPEG) + " -nostdin -v error -err_detect crccheck -i " + shell_quoted(path) +
         " -f " + format + " -";
}

TEST(TakwriteCli, HelpExplainsEveryOption) {
  ToolResult r = run_tool(takwrite_cmd("--help"));
  ASSERT_EQ(r.exit_code, 0);
  std::string help(r.out.begin(), r.out.end());
  for (const char *option : {"--synth", "-o, --output", "--wav-out", "--stats", "--frame-size",
                             "--predictor", "--no-decorrelation", "--no-partitions", "--info-every",
                             "--no-md5", "--no-last-frame-block", "--tag", "--binary-tag",
                             "--ape-header", "--id3v1", "--broken-ape-footer", "-h, --help"})
    EXPECT_NE(help.find(option), std::string::npos) << option;
  for (const char *kind : {"preamble", "version", "size-zero", "size-small", "size-huge",
                           "size-max-ok", "size-past-file", "count-high", "truncated"})
    EXPECT_NE(help.find(kind), std::string::npos) << kind;
}

/* A WAVE_FORMAT_EXTENSIBLE header around the same PCM, with a LIST chunk
 * before "data" that the reader must skip. */
std::vector<uint8_t> extensible_wav(const takwrite::PcmFormat &f, const std::vector<uint8_t> &pcm) {
  std::vector<uint8_t> plain = takwrite::make_wav(f, pcm.data(), pcm.size());
  std::vector<uint8_t> fmt(plain.begin() + 20, plain.begin() + 36);
  fmt[0] = 0xFE;
  fmt[1] = 0xFF;
  std::vector<uint8_t> ext{22, 0, static_cast<uint8_t>(f.bits), 0, 0, 0, 0, 0, 1, 0, 0, 0,
                           0, 0, 0x10, 0, 0x80, 0, 0, 0xAA, 0, 0x38, 0x9B, 0x71};
  fmt.insert(fmt.end(), ext.begin(), ext.end());
  std::vector<uint8_t> out{'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E', 'f', 'm', 't', ' ', 40, 0, 0, 0};
  out.insert(out.end(), fmt.begin(), fmt.end());
  out.insert(out.end(), {'L', 'I', 'S', 'T', 3, 0, 0, 0, 'a', 'b', 'c', 0});
  out.insert(out.end(), plain.begin() + 36, plain.end());
  uint32_t riff = static_cast<uint32_t>(out.size() - 8);
  for (int i = 0; i < 4; ++i)
    out[4 + i] = static_cast<uint8_t>(riff >> (8 * i));
  return out;
}

struct WavCase {
  const char *name;
  uint16_t bits;
  uint16_t channels;
  bool extensible;
  const char *ffmpeg_format;
};

/* Test names carry the row; print only its name in failures. */
void PrintTo(const WavCase &row, std::ostream *os) { *os << row.name; }

class TakwriteWavInput : public testing::TestWithParam<WavCase> {};

TEST_P(TakwriteWavInput, RoundTripsThroughTheCommand) {
  const WavCase &c = GetParam();
  takwrite::SynthSpec spec;
  spec.format = {48000, c.channels, c.bits};
  spec.samples = 9000;
  std::vector<uint8_t> pcm = takwrite::synthesize(spec);
  std::string wav = scratch_path(std::string(c.name) + ".wav"), tak = scratch_path(std::string(c.name) + ".tak");
  write_bytes(wav, c.extensible ? extensible_wav(spec.format, pcm) : takwrite::make_wav(spec.format, pcm.data(), pcm.size()));
  ToolResult enc = run_tool(takwrite_cmd(shell_quoted(wav) + " -o " + shell_quoted(tak)));
  ASSERT_EQ(enc.exit_code, 0) << enc.err;
  ToolResult dec = run_tool(ffmpeg_decode(tak, c.ffmpeg_format));
  EXPECT_EQ(dec.err, "");
  if (c.bits == 24) {
    std::vector<uint8_t> wide;
    for (size_t i = 0; i < pcm.size(); i += 3)
      wide.insert(wide.end(), {0, pcm[i], pcm[i + 1], pcm[i + 2]});
    pcm = wide;
  }
  EXPECT_TRUE(dec.out == pcm);
}

INSTANTIATE_TEST_SUITE_P(Kinds, TakwriteWavInput,
                         testing::Values(WavCase{"u8_mono", 8, 1, false, "u8"},
                                         WavCase{"s16_stereo_extensible", 16, 2, true, "s16le"},
                                         WavCase{"s24_six_channels", 24, 6, false, "s32le"},
                                         WavCase{"s24_three_extensible", 24, 3, true, "s32le"}),
                         [](const testing::TestParamInfo<WavCase> &row) { return row.param.name; });

TEST(TakwriteCli, SynthIsDeterministicAndMatchesTheLibrary) {
  const std::string spec = "seconds=0.5,rate=22050,channels=2,bits=16,kind=music,seed=5,noise=0.01";
  std::string a = scratch_path("synth-a.tak"), b = scratch_path("synth-b.tak"), wav = scratch_path("synth.wav");
  ASSERT_EQ(run_tool(takwrite_cmd("--synth " + spec + " -o " + shell_quoted(a) + " --wav-out " + shell_quoted(wav))).exit_code, 0);
  ASSERT_EQ(run_tool(takwrite_cmd("--synth " + spec + " -o " + shell_quoted(b))).exit_code, 0);
  EXPECT_EQ(read_bytes(a), read_bytes(b));

  takwrite::SynthSpec parsed;
  std::string error;
  ASSERT_TRUE(takwrite::parse_synth_spec(spec, parsed, error)) << error;
  EXPECT_EQ(parsed.samples, 11025u);
  std::vector<uint8_t> pcm = takwrite::synthesize(parsed);
  EXPECT_EQ(read_bytes(wav), takwrite::make_wav(parsed.format, pcm.data(), pcm.size()));

  parsed.seed = 6;
  EXPECT_NE(takwrite::synthesize(parsed), pcm);
}

TEST(TakwriteCli, TagsAreReadableInOrder) {
  std::string tak = scratch_path("tags.tak"), blob = scratch_path("blob.bin");
  write_bytes(blob, {0, 1, 2, 0xFF});
  ToolResult enc = run_tool(takwrite_cmd("--synth samples=5000 -o " + shell_quoted(tak) +
                                         " --tag 'Title=Erste Stücke' --binary-tag Blob=@" + shell_quoted(blob) +
                                         " --tag Artist=Someone --ape-header"));
  ASSERT_EQ(enc.exit_code, 0) << enc.err;
  ToolResult probe = run_tool(std::string(TAKWRITE_FFPROBE) +
                              " -v error -show_entries format_tags=title,artist -of default=noprint_wrappers=1 " +
                              shell_quoted(tak));
  std::string text(probe.out.begin(), probe.out.end());
  EXPECT_NE(text.find("TAG:Title=Erste Stücke"), std::string::npos) << text;
  EXPECT_NE(text.find("TAG:Artist=Someone"), std::string::npos) << text;

  std::vector<uint8_t> file = read_bytes(tak);
  std::string body(file.end() - 90, file.end());
  size_t title = body.find("Title"), blob_key = body.find("Blob"), artist = body.find("Artist");
  ASSERT_NE(blob_key, std::string::npos);
  EXPECT_LT(title, blob_key);
  EXPECT_LT(blob_key, artist);
  EXPECT_EQ(body.substr(blob_key + 5, 4), std::string("\0\1\2\xFF", 4));
}

TEST(TakwriteDemo, IsEightSecondsOfTaggedStereoMusic) {
  ToolResult probe = run_tool(std::string(TAKWRITE_FFPROBE) +
                              " -v error -show_entries stream=sample_rate,channels,duration_ts:format_tags"
                              " -of default=noprint_wrappers=1 " + shell_quoted(TAKWRITE_DEMO));
  ASSERT_EQ(probe.exit_code, 0) << probe.err;
  std::string text(probe.out.begin(), probe.out.end());
  for (const char *line : {"sample_rate=44100\n", "channels=2\n", "duration_ts=352800\n",
                           "TAG:Title=Demo Tune\n", "TAG:Artist=vardek\n",
                           "TAG:Album=\xC3\x9C" "bungsst\xC3\xBC" "cke f\xC3\xBCr Ohr\n",
                           "TAG:Year=2024\n", "TAG:Comment=Synthesized by takwrite\n", "TAG:Track=1\n"})
    EXPECT_NE(text.find(line), std::string::npos) << line << " not in\n" << text;
  ToolResult dec = run_tool(ffmpeg_decode(TAKWRITE_DEMO, "s16le"));
  EXPECT_EQ(dec.err, "");
  EXPECT_EQ(dec.out.size(), 352800u * 4);
}

struct BadRun {
  const char *name;
  std::string args;
  int exit_code;
  const char *message;
};

/* Test names carry the row; print only its name in failures. */
void PrintTo(const BadRun &row, std::ostream *os) { *os << row.name; }

class TakwriteBadInput : public testing::TestWithParam<BadRun> {};

TEST_P(TakwriteBadInput, FailsWithAMessage) {
  const BadRun &b = GetParam();
  std::string out = scratch_path("bad.tak");
  std::string args = b.args;
  for (size_t at; (at = args.find("OUT")) != std::string::npos;)
    args.replace(at, 3, shell_quoted(out));
  for (size_t at; (at = args.find("NOTWAV")) != std::string::npos;) {
    write_bytes(scratch_path("not.wav"), {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'A', 'V', 'I', ' '});
    args.replace(at, 6, shell_quoted(scratch_path("not.wav")));
  }
  ToolResult r = run_tool(takwrite_cmd(args));
  EXPECT_EQ(r.exit_code, b.exit_code);
  EXPECT_NE(r.err.find(b.message), std::string::npos) << r.err;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TakwriteBadInput,
    testing::Values(BadRun{"no_output", "--synth seconds=1", 2, "no output file"},
                    BadRun{"no_input", "-o OUT", 2, "either an input"},
                    BadRun{"both_inputs", "x.wav --synth seconds=1 -o OUT", 2, "either an input"},
                    BadRun{"unknown_option", "--synth seconds=1 -o OUT --fast", 2, "unknown option"},
                    BadRun{"missing_value", "--synth seconds=1 -o OUT --tag", 2, "needs a value"},
                    BadRun{"bad_frame_size", "--synth seconds=1 -o OUT --frame-size 300", 2, "frame size"},
                    BadRun{"bad_predictor", "--synth seconds=1 -o OUT --predictor 4", 2, "predictor"},
                    BadRun{"bad_tag", "--synth seconds=1 -o OUT --tag NoEquals", 2, "Key=Value"},
                    BadRun{"bad_binary_tag", "--synth seconds=1 -o OUT --binary-tag K=file", 2, "Key=@FILE"},
                    BadRun{"bad_damage", "--synth seconds=1 -o OUT --broken-ape-footer x", 2, "footer damage"},
                    BadRun{"bad_spec", "--synth kind=opera -o OUT", 1, "bad synth item"},
                    BadRun{"rate_too_low", "--synth seconds=1,rate=5000 -o OUT", 1, "sample rate"},
                    BadRun{"frame_size_not_allowed", "--synth seconds=1,rate=8000 -o OUT --frame-size 4096", 1,
                           "not allowed"},
                    BadRun{"missing_wav", "no-such-file.wav -o OUT", 1, "cannot open"},
                    BadRun{"not_wave", "NOTWAV -o OUT", 1, "not a RIFF/WAVE"}),
    [](const testing::TestParamInfo<BadRun> &row) { return row.param.name; });

} // namespace
