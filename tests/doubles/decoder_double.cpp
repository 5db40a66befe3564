/* The scripted decoder double: the twelve tak_ operations answered from a
 * global script, with a small log of what the plug-in asked. Each decoder is
 * a heap object holding its own PCM position; the script's bytes are
 * borrowed from the test. */
#define VARDEK_BUILDING_DECODER_DOUBLE
#define VARDEK_DECODER_EXPORT VARDEK_EXPORT
#include "decoder_double.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

struct TakDecoder {
  bool valid;
  uint64_t position; /* byte offset into the PCM */
};
struct TakApeTag {
  int unused;
};

namespace {

struct Script {
  int32_t create = DD_CREATE_VALID;
  TakStreamInfo info{44100, 16, 2, 4096, 0};
  int32_t infoResult = 0;
  const uint8_t *pcm = nullptr;
  uint64_t pcmSize = 0;
  int32_t readResult = 0;
  int32_t readExtra = 0;
  int32_t apeValid = 0;
  const DecoderDoubleItem *items = nullptr;
  int32_t itemCount = 0;

  DecoderDoubleCreation creation{};
  bool created = false;
  int32_t live = 0;
  uint32_t reads = 0;
  int32_t lastWanted = -1;
  uint32_t seeks = 0;
  int64_t lastSeek = -1;
  std::vector<DecoderDoubleOp> ops;
};

Script &S() {
  static Script script;
  return script;
}

TakApeTag g_tag;

uint64_t FrameBytes() { return uint64_t(S().info.channels) * uint64_t(S().info.bitsPerSample / 8); }

const DecoderDoubleItem *Item(TakApeTag *tag, int32_t index, int32_t op, const void *buffer,
                              int32_t capacity) {
  S().ops.push_back({op, index, capacity, buffer == nullptr});
  if (tag != &g_tag || index < 0 || index >= S().itemCount) return nullptr;
  return &S().items[index];
}

int32_t Reported(const DecoderDoubleItem &item, uint32_t lie, int32_t lieValue, int32_t honest) {
  return (item.lies & lie) ? lieValue : honest;
}

std::string TextOf(const DecoderDoubleItem &item) {
  if (item.text) return item.text;
  return std::string(static_cast<const char *>(item.value), std::size_t(std::max(item.valueSize, 0)));
}

}  // namespace

extern "C" {

TakDecoder *VARDEK_CALL tak_SSD_Create_FromStream(const DecoderIo *io, void *ioUser,
                                                  const TakDecoderOptions *options,
                                                  TakDamageCallback onDamage, void *damageUser) {
  S().creation = {io, ioUser, *options, onDamage, damageUser};
  S().created = true;
  if (S().create == DD_CREATE_NULL) return nullptr;
  ++S().live;
  return new TakDecoder{S().create == DD_CREATE_VALID, 0};
}

int32_t VARDEK_CALL tak_SSD_Valid(TakDecoder *decoder) { return decoder && decoder->valid ? 1 : 0; }

int32_t VARDEK_CALL tak_SSD_GetStreamInfo(TakDecoder *decoder, TakStreamInfo *info) {
  if (!decoder) return TAK_RES_INVALID;
  *info = S().info;
  return S().infoResult;
}

int32_t VARDEK_CALL tak_SSD_ReadAudio(TakDecoder *decoder, void *buffer, int32_t framesWanted,
                                      int32_t *framesRead) {
  ++S().reads;
  S().lastWanted = framesWanted;
  *framesRead = 0;
  if (S().readResult != 0) return S().readResult;
  const uint64_t frameBytes = FrameBytes();
  const uint64_t left = decoder->position < S().pcmSize ? S().pcmSize - decoder->position : 0;
  const uint64_t frames = std::min<uint64_t>(left / frameBytes, uint64_t(std::max(framesWanted, 0)));
  if (frames) std::memcpy(buffer, S().pcm + decoder->position, frames * frameBytes);
  decoder->position += frames * frameBytes;
  *framesRead = int32_t(frames) + (frames ? S().readExtra : 0);
  return 0;
}

int32_t VARDEK_CALL tak_SSD_Seek(TakDecoder *decoder, int64_t frame) {
  ++S().seeks;
  S().lastSeek = frame;
  decoder->position = std::min<uint64_t>(uint64_t(frame) * FrameBytes(), S().pcmSize);
  return 0;
}

void VARDEK_CALL tak_SSD_Destroy(TakDecoder *decoder) {
  if (!decoder) return;
  --S().live;
  delete decoder;
}

TakApeTag *VARDEK_CALL tak_SSD_GetAPEv2Tag(TakDecoder *) { return &g_tag; }

int32_t VARDEK_CALL tak_APE_Valid(TakApeTag *tag) { return tag == &g_tag ? S().apeValid : 0; }
int32_t VARDEK_CALL tak_APE_GetItemNum(TakApeTag *) { return S().itemCount; }

int32_t VARDEK_CALL tak_APE_GetItemKey(TakApeTag *tag, int32_t index, char *key, int32_t capacity,
                                       int32_t *keyLength) {
  const DecoderDoubleItem *item = Item(tag, index, DD_OP_KEY, key, capacity);
  if (!item || capacity <= 0) return TAK_RES_INVALID;
  const int32_t length = int32_t(std::strlen(item->key));
  if (item->lies & DD_KEY_UNTERMINATED) {
    for (int32_t i = 0; i < capacity; ++i) key[i] = i < length ? item->key[i] : 'x';
    *keyLength = capacity;
    return 0;
  }
  const int32_t written = std::min(length, capacity - 1);
  std::memcpy(key, item->key, std::size_t(written));
  key[written] = 0;
  *keyLength = written;
  return 0;
}

int32_t VARDEK_CALL tak_APE_GetItemValue(TakApeTag *tag, int32_t index, void *buffer,
                                         int32_t capacity, int32_t *size) {
  const DecoderDoubleItem *item = Item(tag, index, DD_OP_VALUE, buffer, capacity);
  if (!item) return TAK_RES_INVALID;
  if (!buffer) {
    *size = Reported(*item, DD_LIE_VALUE_QUERY, item->valueQueryLie, item->valueSize);
    return 0;
  }
  const int32_t copied = std::max(0, std::min(item->valueSize, capacity));
  std::memcpy(buffer, item->value, std::size_t(copied));
  *size = Reported(*item, DD_LIE_VALUE_FETCH, item->valueFetchLie, item->valueSize);
  return 0;
}

int32_t VARDEK_CALL tak_APE_GetTextItemValueAsAnsi(TakApeTag *tag, int32_t index, int32_t,
                                                   char, char *buffer, int32_t capacity,
                                                   int32_t *length) {
  const DecoderDoubleItem *item = Item(tag, index, DD_OP_TEXT, buffer, capacity);
  if (!item) return TAK_RES_INVALID;
  const std::string text = TextOf(*item);
  const int32_t honest = int32_t(text.size()) + 1;
  if (!buffer) {
    *length = Reported(*item, DD_LIE_TEXT_QUERY, item->textQueryLie, honest);
    return 0;
  }
  if (capacity > 0) {
    const std::size_t written = std::min(text.size(), std::size_t(capacity - 1));
    std::memcpy(buffer, text.data(), written);
    buffer[written] = 0;
  }
  *length = Reported(*item, DD_LIE_TEXT_FETCH, item->textFetchLie, honest);
  return 0;
}

void DecoderDouble_Reset(void) { S() = Script{}; }
void DecoderDouble_SetCreate(int32_t mode) { S().create = mode; }
void DecoderDouble_SetInfo(const TakStreamInfo *info, int32_t result) {
  S().info = *info;
  S().infoResult = result;
}
void DecoderDouble_SetPcm(const void *bytes, uint64_t size) {
  S().pcm = static_cast<const uint8_t *>(bytes);
  S().pcmSize = size;
}
void DecoderDouble_SetReadResult(int32_t result) { S().readResult = result; }
void DecoderDouble_SetReadExtra(int32_t extra) { S().readExtra = extra; }
void DecoderDouble_SetApe(int32_t valid, const DecoderDoubleItem *items, int32_t count) {
  S().apeValid = valid;
  S().items = items;
  S().itemCount = count;
}

int DecoderDouble_LastCreation(DecoderDoubleCreation *out) {
  if (!S().created) return 0;
  *out = S().creation;
  return 1;
}
int32_t DecoderDouble_LiveDecoders(void) { return S().live; }
uint32_t DecoderDouble_Reads(void) { return S().reads; }
int32_t DecoderDouble_LastFramesWanted(void) { return S().lastWanted; }
uint32_t DecoderDouble_Seeks(void) { return S().seeks; }
int64_t DecoderDouble_LastSeek(void) { return S().lastSeek; }
uint32_t DecoderDouble_OpCount(void) { return uint32_t(S().ops.size()); }
int DecoderDouble_GetOp(uint32_t index, DecoderDoubleOp *out) {
  if (index >= S().ops.size()) return 0;
  *out = S().ops[index];
  return 1;
}

}  // extern "C"
