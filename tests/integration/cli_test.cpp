/* The `vardek` command on the demo file and on test files: what each
 * subcommand prints or writes (checked against ffmpeg, ffprobe, python3's
 * json reader and the host's own tag blocks) and how each failure reads,
 * with nothing written to OUT. */
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

#include "integration_support.h"

namespace {
std::string Vardek(const std::string &args) { return Quote(VARDEK_CLI_PATH) + " " + args; }
std::string Text(const Bytes &bytes) { return std::string(bytes.begin(), bytes.end()); }

class Cli : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    demo = VARDEK_DEMO_TAK;
    reference = new Bytes(TopSixteen(FfmpegS32(demo)));
  }
  static void TearDownTestSuite() { delete reference; }
  static std::string demo;
  static Bytes *reference; /* ffmpeg's 16-bit decode of the demo */
};
std::string Cli::demo;
Bytes *Cli::reference = nullptr;

TEST_F(Cli, InfoShowsFormatLengthAndTags) {
  ASSERT_FALSE(reference->empty());
  uint64_t frames = reference->size() / 4;
  CommandResult r = RunCommand(Vardek("info " + Quote(demo)));
  ASSERT_EQ(r.exitCode, 0) << r.err;
  std::string out = Text(r.out);
  char length[128];
  std::snprintf(length, sizeof length, "length:     %zu bytes, %llu frames, %.3f seconds\n",
                reference->size(), (unsigned long long)frames, double(frames) / 44100.0);
  for (const std::string &line :
       {std::string("format:     TAK file"), std::string("rate:       44100 Hz\n"),
        std::string("channels:   2\n"), std::string("resolution: 16 bits\n"), std::string(length),
        std::string("  Title      Demo Tune\n"), std::string("  title      Demo Tune\n"),
        std::string("  TIT2       Demo Tune\n"), std::string("  TALB       Übungsstücke für Ohr\n"),
        std::string("  COMM       [JPN] Synthesized by takwrite\n"), std::string("  track      1\n")})
    EXPECT_NE(out.find(line), std::string::npos) << line << "in\n" << out;
}

TEST_F(Cli, InfoJsonIsReadableByScripts) {
  std::string script =
      "import json,sys; d=json.load(sys.stdin); "
      "print(d['rate'], d['channels'], d['length']['frames'], d['format'], "
      "d['tags']['id3v2'][2]['value'], d['tags']['id3v1']['year'], d['tags']['ape'][0]['key'])";
  CommandResult r = RunCommand(Vardek("info --json " + Quote(demo)) + " | " + Quote(VARDEK_PYTHON3) + " -c " + Quote(script));
  ASSERT_EQ(r.exitCode, 0) << r.err;
  std::string expected = "44100 2 " + std::to_string(reference->size() / 4) +
                         " TAK file Übungsstücke für Ohr 2024 Title\n";
  EXPECT_EQ(Text(r.out), expected);
}

TEST_F(Cli, DecodeWritesAWavFfprobeReadsAndFfmpegsSamples) {
  std::string out = TestPath("demo.wav");
  CommandResult r = RunCommand(Vardek("decode " + Quote(demo) + " -o " + Quote(out)));
  ASSERT_EQ(r.exitCode, 0) << r.err;
  char summary[256];
  std::snprintf(summary, sizeof summary, "vardek: wrote %s: %zu frames, %.3f seconds, 16-bit PCM\n",
                out.c_str(), reference->size() / 4, double(reference->size() / 4) / 44100.0);
  EXPECT_EQ(r.err, summary);
  WavData wav = ReadWav(out);
  EXPECT_EQ(wav.format, 1);
  EXPECT_EQ(wav.channels, 2);
  EXPECT_EQ(wav.bits, 16);
  EXPECT_TRUE(wav.data == *reference);
  CommandResult probe = RunCommand("ffprobe -v error -show_entries stream=duration_ts,sample_rate -of csv=p=0 " +
                            Quote(out));
  EXPECT_EQ(Text(probe.out), "44100," + std::to_string(reference->size() / 4) + "\n");
}

TEST_F(Cli, DecodeFloatWritesIeeeFloats) {
  std::string out = TestPath("demo-float.wav");
  CommandResult r = RunCommand(Vardek("decode " + Quote(demo) + " --float -o " + Quote(out)));
  ASSERT_EQ(r.exitCode, 0) << r.err;
  WavData wav = ReadWav(out);
  EXPECT_EQ(wav.format, 3);
  EXPECT_EQ(wav.bits, 32);
  ASSERT_EQ(wav.data.size(), reference->size() * 2);
  for (size_t i = 0; i < reference->size() / 2; i += 997) {
    int16_t s = int16_t((*reference)[2 * i] | (*reference)[2 * i + 1] << 8);
    float f;
    std::memcpy(&f, &wav.data[4 * i], 4);
    ASSERT_EQ(f, float(s) / 32768.0f) << "sample " << i;
  }
}

TEST_F(Cli, DecodeRawToStandardOutputWithStartAndDuration) {
  CommandResult all = RunCommand(Vardek("decode " + Quote(demo) + " --raw -o -"));
  ASSERT_EQ(all.exitCode, 0) << all.err;
  EXPECT_TRUE(all.out == *reference);
  CommandResult part = RunCommand(Vardek("decode " + Quote(demo) + " --raw --start 1.5 --duration 2 -o -"));
  ASSERT_EQ(part.exitCode, 0) << part.err;
  size_t from = size_t(1.5 * 44100) * 4, size = 2 * 44100 * 4;
  ASSERT_EQ(part.out.size(), size);
  EXPECT_TRUE(std::equal(part.out.begin(), part.out.end(), reference->begin() + long(from)));
}

TEST_F(Cli, EveryOpenWayAndTheDirectConstructorsGiveTheSameBytes) {
  for (const char *way : {"file", "memory", "user"})
    for (const char *direct : {"", " --direct"}) {
      CommandResult r = RunCommand(Vardek("decode " + Quote(demo) + " --raw -o - --open " + way + direct));
      EXPECT_EQ(r.exitCode, 0) << way << direct << r.err;
      EXPECT_TRUE(r.out == *reference) << way << direct;
    }
}

TEST_F(Cli, SixChannelsGiveAnExtensibleWavWithTheFivePointOneMask) {
  TakFile six = WriteTak("six", "seconds=1,rate=48000,channels=6,bits=24,seed=2");
  std::string out = TestPath("six.wav");
  CommandResult r = RunCommand(Vardek("decode " + Quote(six.path) + " -o " + Quote(out)));
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(ReadWav(out).format, 0xFFFE);
  CommandResult probe = RunCommand("ffprobe -v error -show_entries stream=channels,channel_layout,duration_ts "
                            "-of csv=p=0 " + Quote(out));
  EXPECT_EQ(Text(probe.out), "6,5.1,48000\n");
}

TEST_F(Cli, TagsWritesEachBlockAsTheHostHandsItOut) {
  ASSERT_NE(LoadRealPlugin(), 0u);
  HostStream stream = BASS_StreamCreateFile(0, demo.c_str(), 0, 0, 0);
  ASSERT_NE(stream, 0u);
  const struct { const char *type; uint32_t host; } kinds[] = {{"id3v1", 0}, {"id3v2", 1}, {"ape", 6}};
  for (const auto &kind : kinds) {
    std::string out = TestPath(std::string("demo.") + kind.type);
    CommandResult r = RunCommand(Vardek("tags " + Quote(demo) + " --type " + kind.type + " -o " + Quote(out)));
    ASSERT_EQ(r.exitCode, 0) << r.err;
    Bytes written = ReadBytes(out);
    auto block = reinterpret_cast<const uint8_t *>(BASS_ChannelGetTags(stream, kind.host));
    ASSERT_NE(block, nullptr) << kind.type;
    ASSERT_GE(written.size(), 32u) << kind.type;
    EXPECT_TRUE(std::equal(written.begin(), written.end(), block)) << kind.type;
  }
  Bytes file = ReadBytes(demo), ape = ReadBytes(TestPath("demo.ape"));
  EXPECT_TRUE(std::equal(ape.begin() + 32, ape.end(), file.end() - long(ape.size() - 32)))
      << "the APEv2 block is not the file's tail";
  EXPECT_EQ(ReadBytes(TestPath("demo.id3v1")).size(), 128u);
  BASS_StreamFree(stream);
}

/* ---- failures ---- */

struct FailureCase {
  const char *name;
  std::string args; /* OUT is appended as "-o OUT" */
  int exitCode;
  const char *message;
};

TEST_F(Cli, FailuresNameTheirReasonAndWriteNothing) {
  TakFile bare = WriteTak("cli-bare", "seconds=1,rate=44100,channels=1,bits=16");
  std::string missing = TestPath("missing.tak");
  const FailureCase cases[] = {
      {"missing file", "decode " + Quote(missing), 1, "host error 2 (the file could not be opened)"},
      {"not TAK", "decode " + Quote(bare.pcmWav), 1, "host error 41 (not a file format that can be played)"},
      {"not TAK direct", "decode --direct " + Quote(bare.pcmWav), 1, "cannot open"},
      {"no ID3v2", "tags --type id3v2 " + Quote(bare.path), 1, "host error 37"},
      {"start past end", "decode --start 5 " + Quote(bare.path), 1, "host error 7 (position beyond the end)"},
      {"no plug-in", "decode --plugin " + Quote(missing) + " " + Quote(bare.path), 1, "cannot load plug-in"},
      {"bad tag type", "tags --type id3v3 " + Quote(bare.path), 2, "--type must be id3v1, id3v2 or ape"},
      {"bad open way", "decode --open mmap " + Quote(bare.path), 2, "unknown --open way"},
  };
  for (const FailureCase &c : cases) {
    std::string out = TestPath("failed-output");
    CommandResult r = RunCommand(Vardek(c.args + " -o " + Quote(out)));
    EXPECT_EQ(r.exitCode, c.exitCode) << c.name;
    EXPECT_NE(r.err.find(c.message), std::string::npos) << c.name << ": " << r.err;
    EXPECT_FALSE(FileExists(out)) << c.name;
    for (const auto &entry : std::filesystem::directory_iterator(TestDir()))
      EXPECT_EQ(entry.path().filename().string().find("failed-output"), std::string::npos) << c.name;
  }
}

TEST_F(Cli, UsageErrorsPrintTheUsage) {
  for (const char *args : {"", "play x.tak", "decode x.tak", "info"}) {
    CommandResult r = RunCommand(Vardek(args));
    EXPECT_EQ(r.exitCode, 2) << args;
    EXPECT_NE(r.err.find("usage: vardek info FILE"), std::string::npos) << args;
  }
}
}  // namespace

namespace {
TEST(CliHelp, HelpPrintsTheUsageOnStandardOutput) {
  for (const char *args : {"--help", "-h", "help"}) {
    CommandResult r = RunCommand(Quote(VARDEK_CLI_PATH) + " " + args);
    EXPECT_EQ(r.exitCode, 0) << args;
    const std::string out(r.out.begin(), r.out.end());
    EXPECT_NE(out.find("usage: vardek info FILE"), std::string::npos) << args;
  }
}
}  // namespace
