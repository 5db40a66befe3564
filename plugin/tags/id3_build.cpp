/* ID3 synthesis: walks the APEv2 items through the decoder library's tag
 * operations and, for the six keys it knows, appends one ID3v2.4 frame built
 * from the item's value bytes and copies the item's 8-bit text into the
 * stream's inline ID3v1 block. It owns two scratch buffers for the duration
 * of the walk; the finished ID3v2 tag (heap memory, exactly as long as its
 * content) goes to the TakStream, which frees it on release. Called once per
 * stream by LoadStreamFormat, after CaptureApeTag. Every allocation is
 * checked: on a failure the ID3v2 tag is dropped, the ID3v1 block keeps what
 * was written so far, and the stream is created all the same. */
#include "id3_build.h"

#include <cstring>

#include "../os/process_heap.h"
#include "../stream/tak_stream.h"

namespace {

constexpr std::size_t kId3v2HeaderSize = 10;
constexpr std::size_t kFrameHeaderSize = 10;
constexpr int32_t kScratchSize = 1024;
constexpr int32_t kKeyCapacity = 64;
constexpr uint8_t kCommentPrefix[4] = {'J', 'P', 'N', 0};

enum class FieldKind { Text, Comment, Track };

/* One recognised APEv2 key and where its value goes. */
struct Id3Field {
  const char *key;
  char frameId[4];
  uint8_t encoding;
  uint8_t v1Offset;
  uint8_t v1Limit;
  FieldKind kind;
};

constexpr Id3Field kFields[] = {
    {"Title", {'T', 'I', 'T', '2'}, 3, 3, 30, FieldKind::Text},
    {"Artist", {'T', 'P', 'E', '1'}, 3, 33, 30, FieldKind::Text},
    {"Album", {'T', 'A', 'L', 'B'}, 3, 63, 30, FieldKind::Text},
    {"Year", {'T', 'D', 'R', 'C'}, 0, 93, 4, FieldKind::Text},
    {"Comment", {'C', 'O', 'M', 'M'}, 3, 97, 28, FieldKind::Comment},
    {"Track", {'T', 'R', 'C', 'K'}, 0, 126, 1, FieldKind::Track},
};

/* A heap buffer that only ever grows past 1024 bytes to exactly what an item
 * needs. */
struct Scratch {
  uint8_t *data;
};

/* What one item fetch left in a scratch buffer: `requested` bytes were offered
 * to the library (zeroed beforehand), `size` of them it reported as written. */
struct Fetched {
  std::size_t requested;
  std::size_t size;
};

/* The ID3v2 tag under construction. */
struct Id3v2 {
  uint8_t *data;
  std::size_t offset;
};

std::size_t NonNegative(int32_t value) { return value > 0 ? std::size_t(value) : 0; }

bool Reserve(Scratch *scratch, int32_t needed) {
  if (needed <= kScratchSize) return true;
  void *grown = HeapResize(scratch->data, std::size_t(needed));
  if (!grown) return false;
  scratch->data = static_cast<uint8_t *>(grown);
  return true;
}

/* A reported size beyond what was offered is cut back to it. */
Fetched Settle(int32_t queried, int32_t fetched) {
  const std::size_t requested = NonNegative(queried);
  const std::size_t size = NonNegative(fetched);
  return {requested, size < requested ? size : requested};
}

/* Sizes the buffer by the library's first answer, then fetches into it. The
 * offered bytes are zeroed first, so a library that writes less than it
 * reports yields zeros, never stale heap bytes. */
bool FetchValue(TakApeTag *tag, int32_t index, Scratch *scratch, Fetched *out) {
  int32_t size = 0;
  tak_APE_GetItemValue(tag, index, nullptr, 0, &size);
  if (!Reserve(scratch, size)) return false;
  const int32_t queried = size;
  std::memset(scratch->data, 0, NonNegative(queried));
  tak_APE_GetItemValue(tag, index, scratch->data, queried > 0 ? queried : 0, &size);
  *out = Settle(queried, size);
  return true;
}

bool FetchText(TakApeTag *tag, int32_t index, Scratch *scratch, Fetched *out) {
  int32_t length = 0;
  tak_APE_GetTextItemValueAsAnsi(tag, index, -1, 0x20, nullptr, 0, &length);
  if (!Reserve(scratch, length)) return false;
  const int32_t queried = length;
  std::memset(scratch->data, 0, NonNegative(queried));
  char *text = reinterpret_cast<char *>(scratch->data);
  tak_APE_GetTextItemValueAsAnsi(tag, index, -1, 0x20, text, queried > 0 ? queried : 0, &length);
  *out = Settle(queried, length);
  return true;
}

/* The field whose key equals `key` (at most 64 bytes, zero-terminated or
 * not), or null. */
const Id3Field *FieldForKey(const char *key) {
  const std::size_t length = strnlen(key, kKeyCapacity);
  for (const Id3Field &field : kFields) {
    if (std::strlen(field.key) == length && std::memcmp(field.key, key, length) == 0) return &field;
  }
  return nullptr;
}

void WriteSynchsafe(uint8_t *out, uint32_t value) {
  out[0] = uint8_t((value >> 21) & 0x7F);
  out[1] = uint8_t((value >> 14) & 0x7F);
  out[2] = uint8_t((value >> 7) & 0x7F);
  out[3] = uint8_t(value & 0x7F);
}

bool AppendFrame(Id3v2 *tag, const Id3Field &field, const uint8_t *value, std::size_t valueSize) {
  const std::size_t prefix = field.kind == FieldKind::Comment ? sizeof kCommentPrefix : 0;
  const uint64_t content = uint64_t(prefix) + valueSize;
  const uint64_t grownSize = uint64_t(tag->offset) + kFrameHeaderSize + 1 + content;
  if (grownSize > SIZE_MAX) return false;
  void *grown = HeapResize(tag->data, std::size_t(grownSize));
  if (!grown) return false;
  tag->data = static_cast<uint8_t *>(grown);

  uint8_t *frame = tag->data + tag->offset;
  std::memcpy(frame, field.frameId, 4);
  WriteSynchsafe(frame + 4, uint32_t(1 + content));
  frame[8] = 0;
  frame[9] = 0;
  frame[10] = field.encoding;
  std::memcpy(frame + 11, kCommentPrefix, prefix);
  std::memcpy(frame + 11 + prefix, value, valueSize);
  tag->offset = std::size_t(grownSize);
  return true;
}

void FillId3v1(uint8_t *id3v1, const Id3Field &field, const char *text, Fetched fetched) {
  if (field.kind == FieldKind::Track) {
    id3v1[field.v1Offset] = ParseTrackNumber(text, fetched.requested);
    return;
  }
  const std::size_t count = fetched.size < field.v1Limit ? fetched.size : field.v1Limit;
  std::memcpy(id3v1 + field.v1Offset, text, count);
}

/* Appends a frame and fills ID3v1 for every recognised item. False on an
 * allocation failure. */
bool AddItems(TakStream *record, TakApeTag *tag, int32_t count, Id3v2 *id3v2, Scratch *value,
              Scratch *text) {
  char key[kKeyCapacity] = {};
  for (int32_t index = 0; index < count; ++index) {
    int32_t keyLength = 0;
    tak_APE_GetItemKey(tag, index, key, kKeyCapacity, &keyLength);
    Fetched valueFetched{}, textFetched{};
    if (!FetchValue(tag, index, value, &valueFetched)) return false;
    if (!FetchText(tag, index, text, &textFetched)) return false;
    const Id3Field *field = FieldForKey(key);
    if (!field) continue;
    if (!AppendFrame(id3v2, *field, value->data, valueFetched.size)) return false;
    FillId3v1(record->id3v1, *field, reinterpret_cast<const char *>(text->data), textFetched);
  }
  return true;
}

}  // namespace

uint8_t ParseTrackNumber(const char *text, std::size_t size) {
  std::size_t i = 0;
  while (i < size && text[i] != 0 && std::strchr(" \t\n\v\f\r", text[i])) ++i;
  bool negative = false;
  if (i < size && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  int64_t magnitude = 0;
  for (; i < size && text[i] >= '0' && text[i] <= '9'; ++i) {
    magnitude = magnitude * 10 + (text[i] - '0');
    if (magnitude > int64_t(INT32_MAX) + 1) magnitude = int64_t(INT32_MAX) + 1;
  }
  int64_t number = negative ? -magnitude : magnitude;
  if (number > INT32_MAX) number = INT32_MAX;
  return uint8_t(uint32_t(int32_t(number)));
}

void BuildId3Tags(TakStream *record) {
  TakApeTag *tag = tak_SSD_GetAPEv2Tag(record->decoder);
  if (tak_APE_Valid(tag) != 1) return;
  const int32_t count = tak_APE_GetItemNum(tag);
  std::memcpy(record->id3v1, "TAG", 3);

  Id3v2 id3v2 = {static_cast<uint8_t *>(HeapAllocateZeroed(kId3v2HeaderSize)), kId3v2HeaderSize};
  Scratch value = {static_cast<uint8_t *>(HeapAllocate(kScratchSize))};
  Scratch text = {static_cast<uint8_t *>(HeapAllocate(kScratchSize))};
  if (id3v2.data && value.data && text.data &&
      AddItems(record, tag, count, &id3v2, &value, &text)) {
    std::memcpy(id3v2.data, "ID3\x04\x00\x00", 6);
    WriteSynchsafe(id3v2.data + 6, uint32_t(id3v2.offset - kId3v2HeaderSize));
    record->id3v2 = id3v2.data;
    id3v2.data = nullptr;
  }
  HeapRelease(text.data);
  HeapRelease(value.data);
  HeapRelease(id3v2.data);
}
