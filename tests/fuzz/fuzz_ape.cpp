/* Fuzz target for APEv2 tags on arbitrary file tails. The input is appended
 * to a short, valid, untagged TAK stream (written once by takwrite_lib) and
 * the result goes through the plug-in's CreateTakStream over the recording
 * host double, with the real decoder library: the library's APEv2 reader
 * finds (or refuses) a tag in the tail, the plug-in captures the raw tag and
 * builds its ID3 blocks from the library's items. The same bytes also go
 * straight to the reader's parser, and every item is read back through the
 * library's item operations with buffers too small, exact and roomy. The
 * counting heap checks that the plug-in frees every block; the program stops
 * when a capture block disagrees with the file's tail or a block leaks. */
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "ape_tag.h"
#include "host_double.h"
#include "stream/tak_stream.h"
#include "tak_writer.h"
#include "test_heap.h"

namespace {

void Require(bool holds) {
  if (!holds) std::abort();
}

/* 300 samples of 16-bit stereo: one small frame, no tag. */
std::vector<uint8_t> MakeAudio() {
  takwrite::SynthSpec spec;
  spec.samples = 300;
  spec.kind = "noise";
  const std::vector<uint8_t> pcm = takwrite::synthesize(spec);
  takwrite::WriteOptions options;
  options.frame_size_type = takwrite::kFrame512;
  std::vector<uint8_t> file;
  std::string error;
  Require(takwrite::encode_tak(spec.format, pcm.data(), pcm.size(), options, file, error));
  return file;
}

const std::vector<uint8_t> &Audio() {
  static const std::vector<uint8_t> audio = MakeAudio();
  return audio;
}

/* Every item through the three item operations at several capacities. */
void ReadItems(TakApeTag *tag) {
  const int32_t count = tak_APE_GetItemNum(tag);
  char buffer[300];
  for (int32_t index = -1; index <= count && index < 64; ++index) {
    for (int32_t capacity : {0, 1, 2, 7, 64, 300}) {
      int32_t size = 0;
      tak_APE_GetItemKey(tag, index, capacity ? buffer : nullptr, capacity, &size);
      tak_APE_GetItemValue(tag, index, capacity ? buffer : nullptr, capacity, &size);
      tak_APE_GetTextItemValueAsAnsi(tag, index, -1, 0x20, capacity ? buffer : nullptr, capacity, &size);
      tak_APE_GetTextItemValueAsAnsi(tag, index, 3, '?', capacity ? buffer : nullptr, capacity, &size);
    }
  }
}

void ParseDirectly(const uint8_t *data, size_t size) {
  TakApeTag tag{};
  if (ParseApeTag(data, int64_t(size), 0, &tag)) ReadItems(&tag);
  FreeApeTag(&tag);
}

/* The capture block is the footer, then the file's last tag-size bytes. */
void CheckCapture(const TakStream *record, const std::vector<uint8_t> &file) {
  if (!record->apeTag) return;
  const uint8_t *block = record->apeTag;
  Require(std::memcmp(block, file.data() + file.size() - 32, 32) == 0);
  const uint32_t tagSize = uint32_t(block[12]) | uint32_t(block[13]) << 8 |
                           uint32_t(block[14]) << 16 | uint32_t(block[15]) << 24;
  Require(tagSize <= file.size());
  Require(std::memcmp(block + 32, file.data() + file.size() - tagSize, tagSize) == 0);
}

void CheckId3v2(const TakStream *record) {
  if (!record->id3v2) return;
  const uint8_t *tag = record->id3v2;
  Require(std::memcmp(tag, "ID3\x04\x00\x00", 6) == 0);
  const size_t size = size_t(tag[6]) << 21 | size_t(tag[7]) << 14 | size_t(tag[8]) << 7 | tag[9];
  size_t at = 10;
  while (at < 10 + size) {
    const uint8_t *frame = tag + at;
    const size_t frameSize = size_t(frame[4]) << 21 | size_t(frame[5]) << 14 |
                             size_t(frame[6]) << 7 | frame[7];
    at += 10 + frameSize;
  }
  Require(at == 10 + size);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  ParseDirectly(data, size);

  std::vector<uint8_t> file = Audio();
  file.insert(file.end(), data, data + size);
  HostDouble_Reset();
  TestHeap_Reset();
  const HostFile opened = _.FileOpen(1, file.data(), 0, file.size(), 0, 1);
  const HostStream stream = CreateTakStream(opened, 0);
  if (stream) {
    HostDoubleStream created{};
    Require(HostDouble_GetStream(stream, &created));
    const TakStream *record = static_cast<const TakStream *>(created.instance);
    CheckCapture(record, file);
    CheckId3v2(record);
    ReadItems(tak_SSD_GetAPEv2Tag(record->decoder));
    HostDouble_FreeStream(stream);
  } else {
    _.FileClose(opened);
  }
  Require(TestHeap_LiveBlocks() == 0);
  Require(TestHeap_BadReleases() == 0);
  Require(HostDouble_OpenFiles() == 0);
  return 0;
}
