/* Fuzz target for ID3 synthesis: the input is read as a list of up to 12
 * APEv2 items for the scripted decoder double (a key, often one of the six
 * the plug-in knows; value bytes; an optional separate text; which reported
 * sizes lie and by how much; an unterminated key), plus which heap
 * allocation of creation fails. CreateTakStream runs over the recording host
 * double; the ID3v2 tag it builds must walk frame by frame to exactly its
 * stated size, every frame must carry one of the six IDs, and releasing the
 * stream must return every heap block. The item strings live in this run's
 * own vectors. */
#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "decoder_double.h"
#include "host_double.h"
#include "stream/tak_stream.h"
#include "test_heap.h"

namespace {

constexpr const char *kKnownKeys[] = {"Title", "Artist", "Album", "Year", "Comment", "Track"};
constexpr size_t kMaxItems = 12;
constexpr int32_t kMaxLie = 5000; /* reported sizes stay small enough to allocate */

void Require(bool holds) {
  if (!holds) std::abort();
}

struct ItemText {
  std::string key, value, text;
};

int32_t Lie(FuzzedDataProvider &in) { return in.ConsumeIntegralInRange<int32_t>(-kMaxLie, kMaxLie); }

DecoderDoubleItem ScriptItem(FuzzedDataProvider &in, ItemText &strings) {
  const uint8_t keyChoice = in.ConsumeIntegral<uint8_t>();
  strings.key = keyChoice < 6 * 32 ? kKnownKeys[keyChoice % 6] : in.ConsumeRandomLengthString(80);
  strings.value = in.ConsumeRandomLengthString(3000);
  const bool ownText = in.ConsumeBool();
  if (ownText) strings.text = in.ConsumeRandomLengthString(3000);
  DecoderDoubleItem item{};
  item.key = strings.key.c_str();
  item.value = strings.value.data();
  item.valueSize = int32_t(strings.value.size());
  item.text = ownText ? strings.text.c_str() : nullptr;
  item.lies = in.ConsumeIntegral<uint8_t>() & 31u;
  item.valueQueryLie = Lie(in);
  item.valueFetchLie = Lie(in);
  item.textQueryLie = Lie(in);
  item.textFetchLie = Lie(in);
  return item;
}

bool KnownFrameId(const uint8_t *id) {
  for (const char *frame : {"TIT2", "TPE1", "TALB", "TDRC", "COMM", "TRCK"})
    if (std::memcmp(id, frame, 4) == 0) return true;
  return false;
}

void CheckTags(const TakStream *record, size_t items) {
  Require(std::memcmp(record->id3v1, "TAG", 3) == 0);
  Require(record->id3v1[125] == 0 && record->id3v1[127] == 0);
  if (!record->id3v2) return;
  const uint8_t *tag = record->id3v2;
  Require(std::memcmp(tag, "ID3\x04\x00\x00", 6) == 0);
  const size_t size = size_t(tag[6]) << 21 | size_t(tag[7]) << 14 | size_t(tag[8]) << 7 | tag[9];
  size_t at = 10, frames = 0;
  while (at < 10 + size) {
    const uint8_t *frame = tag + at;
    Require(KnownFrameId(frame) && frame[8] == 0 && frame[9] == 0);
    at += 10 + (size_t(frame[4]) << 21 | size_t(frame[5]) << 14 | size_t(frame[6]) << 7 | frame[7]);
    ++frames;
  }
  Require(at == 10 + size && frames <= items);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  FuzzedDataProvider in(data, size);
  const uint32_t failAt = in.ConsumeIntegralInRange<uint32_t>(0, 40);
  const size_t count = in.ConsumeIntegralInRange<size_t>(0, kMaxItems);
  std::vector<ItemText> strings(count);
  std::vector<DecoderDoubleItem> items;
  for (size_t i = 0; i < count && in.remaining_bytes() > 0; ++i) items.push_back(ScriptItem(in, strings[i]));

  HostDouble_Reset();
  DecoderDouble_Reset();
  TestHeap_Reset();
  const TakStreamInfo info = {44100, 16, 2, 4096, 1000};
  DecoderDouble_SetInfo(&info, 0);
  DecoderDouble_SetApe(1, items.data(), int32_t(items.size()));
  const uint8_t file[64] = {};
  const HostFile opened = _.FileOpen(1, file, 0, sizeof file, 0, 1);
  TestHeap_FailAt(failAt);
  const HostStream stream = CreateTakStream(opened, 0);
  if (stream) {
    HostDoubleStream created{};
    Require(HostDouble_GetStream(stream, &created));
    CheckTags(static_cast<const TakStream *>(created.instance), items.size());
    HostDouble_FreeStream(stream);
  } else {
    Require(failAt == 1);
    _.FileClose(opened);
  }
  Require(TestHeap_LiveBlocks() == 0);
  Require(TestHeap_BadReleases() == 0);
  Require(DecoderDouble_LiveDecoders() == 0);
  Require(HostDouble_OpenFiles() == 0);
  return 0;
}
