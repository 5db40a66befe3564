/* Writes the seed corpora of the three fuzz targets with takwrite_lib, into
 * <dir>/chain, <dir>/ape and <dir>/id3 (scripts/fuzz.sh --seeds runs it over
 * tests/fuzz/corpus). Chain seeds are the 8-byte control block followed by a
 * short TAK file of each shape the writer makes (widths, channel counts,
 * frame sizes, tags with and without header or trailing ID3v1, damaged
 * footers); APE seeds are the tag bytes alone; ID3 seeds are item lists in
 * fuzz_id3's input layout. Owns nothing past its own run. */
#include <cstdio>
#include <string>
#include <vector>

#include "tak_writer.h"

namespace {

using Bytes = std::vector<uint8_t>;

bool Save(const std::string &path, const Bytes &bytes) {
  FILE *out = std::fopen(path.c_str(), "wb");
  if (!out) return false;
  const bool written = std::fwrite(bytes.data(), 1, bytes.size(), out) == bytes.size();
  return std::fclose(out) == 0 && written;
}

takwrite::WriteOptions Tagged(takwrite::WriteOptions options) {
  options.tags = {takwrite::text_item("Title", "Seed"), takwrite::text_item("Artist", "takwrite"),
                  takwrite::text_item("Year", "2024-05-01"), takwrite::text_item("Comment", "hi"),
                  takwrite::text_item("Track", "3/12"), takwrite::text_item("Album", "\xC3\x9C")};
  return options;
}

struct ChainSeed {
  const char *name;
  const char *synth;
  uint8_t control0;
  int frameType;
  bool tags;
  takwrite::BrokenFooter footer;
};

const ChainSeed kChainSeeds[] = {
    {"stereo16", "samples=1200,rate=8000,channels=2,bits=16,kind=music", 0, takwrite::kFrame512, true, takwrite::BrokenFooter::none},
    {"stereo16_float", "samples=700,rate=8000,channels=2,bits=16,kind=sine", 1, takwrite::kFrame512, false, takwrite::BrokenFooter::none},
    {"mono8_user", "samples=900,rate=6000,channels=1,bits=8,kind=noise", 2, takwrite::kFrame512, true, takwrite::BrokenFooter::version},
    {"six24", "samples=600,rate=48000,channels=6,bits=24,kind=extremes", 4, takwrite::kFrame512, false, takwrite::BrokenFooter::none},
    {"mono24_float_user", "samples=1100,rate=22050,channels=1,bits=24,kind=music", 3, takwrite::kFrame1024, true, takwrite::BrokenFooter::size_past_file},
    {"three16_tiny", "samples=10,rate=44100,channels=3,bits=16,kind=noise", 5, takwrite::kFrame512, false, takwrite::BrokenFooter::none},
    {"empty", "samples=0,rate=44100,channels=2,bits=16,kind=silence", 0, takwrite::kFrame512, true, takwrite::BrokenFooter::count_high},
};

bool WriteChainSeeds(const std::string &dir) {
  for (const ChainSeed &seed : kChainSeeds) {
    takwrite::SynthSpec spec;
    std::string error;
    if (!takwrite::parse_synth_spec(seed.synth, spec, error)) return false;
    const Bytes pcm = takwrite::synthesize(spec);
    takwrite::WriteOptions options;
    options.frame_size_type = seed.frameType;
    options.info_every = 2;
    if (seed.tags) options = Tagged(options);
    options.broken_footer = seed.footer;
    Bytes file;
    if (!takwrite::encode_tak(spec.format, pcm.data(), pcm.size(), options, file, error)) return false;
    Bytes input = {seed.control0, 3, 0, 0, 128, 255, 17, 200};
    input.insert(input.end(), file.begin(), file.end());
    if (!Save(dir + "/chain/" + seed.name, input)) return false;
  }
  return true;
}

bool WriteApeSeeds(const std::string &dir) {
  struct Shape {
    const char *name;
    bool header, id3v1;
    takwrite::BrokenFooter footer;
  };
  const Shape shapes[] = {
      {"plain", false, false, takwrite::BrokenFooter::none},
      {"header", true, false, takwrite::BrokenFooter::none},
      {"id3v1", false, true, takwrite::BrokenFooter::none},
      {"header_id3v1", true, true, takwrite::BrokenFooter::none},
      {"v1000", false, false, takwrite::BrokenFooter::version},
      {"size_small", false, false, takwrite::BrokenFooter::size_small},
      {"count_high", true, false, takwrite::BrokenFooter::count_high},
  };
  for (const Shape &shape : shapes) {
    takwrite::WriteOptions options = Tagged({});
    options.tags.push_back({"Cover Art (Front)", Bytes{1, 2, 3, 0, 4}, true});
    options.ape_header = shape.header;
    options.id3v1 = shape.id3v1;
    options.broken_footer = shape.footer;
    if (!Save(dir + "/ape/" + shape.name, takwrite::build_tags(options, 1000))) return false;
  }
  return true;
}

/* fuzz_id3 reads: fail-at, count, then per item key choice, value, own-text
 * flag, text, lies, four lie values (FuzzedDataProvider takes integers from
 * the end and strings from the front, so a seed is mostly plain text). */
bool WriteId3Seeds(const std::string &dir) {
  const std::string items = "Abc\\\x01" "1999-05-17\\\x01" "hi\\\x01" "300\\\x01";
  Bytes seed(items.begin(), items.end());
  const uint8_t tail[] = {0, 0, 0, 0, 0, 3, 0, 0, 0, 0, 0, 4, 0, 0, 0, 0, 0, 5, 0, 0, 0, 0, 0, 0, 4, 0};
  seed.insert(seed.end(), tail, tail + sizeof tail);
  return Save(dir + "/id3/four_items", seed);
}

}  // namespace

int main(int argc, char **argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_seeds <corpus dir with chain/, ape/, id3/>\n");
    return 2;
  }
  const std::string dir = argv[1];
  if (!WriteChainSeeds(dir) || !WriteApeSeeds(dir) || !WriteId3Seeds(dir)) {
    std::fprintf(stderr, "make_seeds: could not write the seeds\n");
    return 1;
  }
  return 0;
}
