/* The takwrite command: reads a PCM WAV file or synthesizes a test signal,
 * and writes a TAK file through takwrite_lib, with tags and writer options
 * from the command line. Owns its parsed options; borrows everything else
 * from the library. Called by users, test scripts and the build (demo.tak). */
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "tak_writer.h"

namespace {

const char kHelp[] =
    "usage: takwrite IN.wav -o OUT.tak [options]\n"
    "       takwrite --synth SPEC -o OUT.tak [options]\n"
    "\n"
    "Writes a lossless TAK file from PCM WAV (8-bit unsigned, 16- or 24-bit signed,\n"
    "1 to 6 channels, 6000 to 268143 Hz) or from a synthesized test signal.\n"
    "\n"
    "input and output:\n"
    "  IN.wav                   PCM WAV file to encode\n"
    "  --synth SPEC             synthesize the input instead; SPEC is key=value,...\n"
    "                           kind=music|sine|noise|silence|extremes (music),\n"
    "                           seconds=S (3) or samples=N (per channel), rate=HZ (44100),\n"
    "                           channels=N (2), bits=8|16|24 (16), seed=N (1),\n"
    "                           noise=0..1 (0, added white noise level)\n"
    "                           e.g. seconds=3,rate=44100,channels=2,bits=16,kind=music\n"
    "  -o, --output OUT.tak     TAK file to write (required)\n"
    "  --wav-out FILE           also write the input PCM as a WAV file\n"
    "  --stats                  print samples, frames, sizes and ratio\n"
    "\n"
    "coding:\n"
    "  --frame-size TYPE        frame-size type: 94ms, 125ms, 188ms, 250ms (durations),\n"
    "                           512, 1024, 2048, 4096, 8192, 16384 (samples), or auto\n"
    "                           (default: 94ms, or 4096 where the rate forbids 94ms);\n"
    "                           the format limits each type to some rates\n"
    "  --predictor N            highest fixed predictor order tried, 0 to 3 (3)\n"
    "  --no-decorrelation       code stereo channels independently\n"
    "  --no-partitions          one residual code per subframe, never per partition\n"
    "  --info-every N           stream information in every Nth frame header (1);\n"
    "                           0 puts it in the first frame only\n"
    "  --no-md5                 leave out the MD5 metadata block\n"
    "  --no-last-frame-block    leave out the last-frame metadata block\n"
    "\n"
    "tags:\n"
    "  --tag Key=Value          APEv2 UTF-8 text item; repeatable, kept in order\n"
    "  --binary-tag Key=@FILE   APEv2 binary item holding FILE's bytes; repeatable\n"
    "  --ape-header             also write the optional 32-byte APEv2 header\n"
    "  --id3v1                  append a 128-byte ID3v1 tag after the APEv2 tag\n"
    "  --broken-ape-footer KIND damage the APEv2 footer on purpose, KIND one of:\n"
    "                           preamble (\"APETAGEx\"), version (1000),\n"
    "                           size-zero, size-small (16), size-huge (0x01000000),\n"
    "                           size-max-ok (0x00FFFFFF), size-past-file,\n"
    "                           count-high (one item too many), truncated (16 bytes)\n"
    "  -h, --help               show this help\n";

struct Command {
  std::string input, output, synth, wav_out;
  bool stats = false;
  takwrite::WriteOptions options;
};

bool fail(const std::string &message) {
  std::fprintf(stderr, "takwrite: %s\n", message.c_str());
  return false;
}

bool parse_frame_size(const std::string &name, int &type) {
  static const char *const kNames[10] = {"94ms", "125ms", "188ms", "250ms", "4096",
                                         "8192", "16384", "512",   "1024",  "2048"};
  if (name == "auto") {
    type = takwrite::kFrameAuto;
    return true;
  }
  for (int i = 0; i < 10; ++i)
    if (name == kNames[i]) {
      type = i;
      return true;
    }
  return false;
}

bool parse_int(const std::string &text, int low, int high, int &value) {
  char *end = nullptr;
  long v = std::strtol(text.c_str(), &end, 10);
  if (text.empty() || *end != '\0' || v < low || v > high)
    return false;
  value = static_cast<int>(v);
  return true;
}

bool read_file(const std::string &path, std::vector<uint8_t> &bytes) {
  std::unique_ptr<FILE, int (*)(FILE *)> file(std::fopen(path.c_str(), "rb"), std::fclose);
  if (!file)
    return false;
  uint8_t buffer[65536];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, file.get())) > 0)
    bytes.insert(bytes.end(), buffer, buffer + n);
  return true;
}

bool add_tag(Command &c, const std::string &arg, bool binary) {
  size_t eq = arg.find('=');
  if (eq == std::string::npos || eq == 0)
    return fail("tag '" + arg + "' is not Key=Value");
  takwrite::ApeItem item = takwrite::text_item(arg.substr(0, eq), arg.substr(eq + 1));
  if (binary) {
    if (arg.size() < eq + 2 || arg[eq + 1] != '@')
      return fail("binary tag '" + arg + "' is not Key=@FILE");
    item.value.clear();
    item.binary = true;
    if (!read_file(arg.substr(eq + 2), item.value))
      return fail("cannot read " + arg.substr(eq + 2));
  }
  c.options.tags.push_back(item);
  return true;
}

/* Options that take a value. Returns false on a bad value. */
bool apply_valued(Command &c, const std::string &opt, const std::string &value) {
  takwrite::WriteOptions &o = c.options;
  if (opt == "-o" || opt == "--output")
    c.output = value;
  else if (opt == "--synth")
    c.synth = value;
  else if (opt == "--wav-out")
    c.wav_out = value;
  else if (opt == "--frame-size")
    return parse_frame_size(value, o.frame_size_type) || fail("unknown frame size '" + value + "'");
  else if (opt == "--predictor")
    return parse_int(value, 0, 3, o.max_predictor) || fail("predictor order must be 0 to 3");
  else if (opt == "--info-every")
    return parse_int(value, 0, 1 << 21, o.info_every) || fail("bad --info-every value");
  else if (opt == "--tag")
    return add_tag(c, value, false);
  else if (opt == "--binary-tag")
    return add_tag(c, value, true);
  else if (opt == "--broken-ape-footer")
    return takwrite::parse_broken_footer(value, o.broken_footer) ||
           fail("unknown footer damage '" + value + "'");
  return true;
}

bool is_valued(const std::string &opt) {
  static const char *const kValued[] = {"-o", "--output", "--synth", "--wav-out", "--frame-size",
                                        "--predictor", "--info-every", "--tag", "--binary-tag",
                                        "--broken-ape-footer"};
  for (const char *v : kValued)
    if (opt == v)
      return true;
  return false;
}

bool apply_flag(Command &c, const std::string &opt) {
  takwrite::WriteOptions &o = c.options;
  if (opt == "--stats")
    c.stats = true;
  else if (opt == "--no-decorrelation")
    o.stereo_decorrelation = false;
  else if (opt == "--no-partitions")
    o.partitioned_residuals = false;
  else if (opt == "--no-md5")
    o.md5_block = false;
  else if (opt == "--no-last-frame-block")
    o.last_frame_block = false;
  else if (opt == "--ape-header")
    o.ape_header = true;
  else if (opt == "--id3v1")
    o.id3v1 = true;
  else
    return fail("unknown option '" + opt + "' (see --help)");
  return true;
}

bool parse_args(int argc, char **argv, Command &c) {
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if (is_valued(arg)) {
      if (i + 1 >= argc)
        return fail(arg + " needs a value");
      if (!apply_valued(c, arg, argv[++i]))
        return false;
    } else if (arg.size() > 1 && arg[0] == '-') {
      if (!apply_flag(c, arg))
        return false;
    } else if (c.input.empty()) {
      c.input = arg;
    } else {
      return fail("more than one input file");
    }
  }
  if (c.output.empty())
    return fail("no output file (-o OUT.tak)");
  if (c.input.empty() == c.synth.empty())
    return fail("give either an input WAV file or --synth SPEC");
  return true;
}

bool load_input(const Command &c, takwrite::PcmFormat &format, std::vector<uint8_t> &pcm) {
  std::string error;
  if (!c.synth.empty()) {
    takwrite::SynthSpec spec;
    if (!takwrite::parse_synth_spec(c.synth, spec, error))
      return fail(error);
    format = spec.format;
    pcm = takwrite::synthesize(spec);
    return true;
  }
  return takwrite::read_wav_file(c.input, format, pcm, error) || fail(c.input + ": " + error);
}

int run(const Command &c) {
  takwrite::PcmFormat format;
  std::vector<uint8_t> pcm;
  if (!load_input(c, format, pcm))
    return 1;
  std::string error;
  if (!c.wav_out.empty() && !takwrite::write_wav_file(c.wav_out, format, pcm, error))
    return fail(error), 1;
  takwrite::EncodeStats stats;
  if (!takwrite::write_tak_file(c.output, format, pcm.data(), pcm.size(), c.options, error, &stats))
    return fail(error), 1;
  if (c.stats) {
    double wav_bytes = 44.0 + static_cast<double>(pcm.size());
    std::printf("samples %llu, frames %u of %u samples, audio %llu bytes, file %llu bytes, "
                "wav %.0f bytes, ratio %.2f%%\n",
                static_cast<unsigned long long>(stats.samples), stats.frames, stats.frame_samples,
                static_cast<unsigned long long>(stats.audio_bytes),
                static_cast<unsigned long long>(stats.file_bytes), wav_bytes,
                100.0 * static_cast<double>(stats.file_bytes) / wav_bytes);
    std::printf("predictor orders 0/1/2/3: %u/%u/%u/%u channels; stereo modes "
                "independent/left-side/side-right/side-mid: %u/%u/%u/%u frames; residual "
                "blocks single/partitioned: %u/%u; raw frames %u\n",
                stats.predictor_uses[0], stats.predictor_uses[1], stats.predictor_uses[2],
                stats.predictor_uses[3], stats.stereo_mode_uses[0], stats.stereo_mode_uses[1],
                stats.stereo_mode_uses[2], stats.stereo_mode_uses[3], stats.single_code_blocks,
                stats.partitioned_blocks, stats.raw_frames);
  }
  return 0;
}

} // namespace

int main(int argc, char **argv) {
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "-h") == 0 || std::strcmp(argv[i], "--help") == 0) {
      std::fputs(kHelp, stdout);
      return 0;
    }
  }
  Command command;
  if (!parse_args(argc, argv, command))
    return 2;
  return run(command);
}
