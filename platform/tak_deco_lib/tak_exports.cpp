/* The twelve operations the library exports, declared in
 * stream/decoder_interface.h: thin checks around the decoder (tak_decoder)
 * and the APEv2 reader (ape_tag, ansi_text). The options record is accepted
 * and ignored: there are no processor-specific paths to choose and no
 * decoding flags. Owns nothing; every handle belongs to its caller until
 * tak_SSD_Destroy. Called by the plug-in. */
#include <algorithm>
#include <cstring>

#include "ansi_text.h"
#include "tak_decoder.h"

namespace {

TakDecoder *Usable(TakDecoder *decoder) { return decoder && decoder->valid == 1 ? decoder : nullptr; }

const ApeItem *ItemAt(TakApeTag *tag, int32_t index) {
  if (!tag || tag->valid != 1 || index < 0 || index >= tag->count) return nullptr;
  return &tag->items[index];
}

void SetOut(int32_t *out, int64_t value) {
  if (out) *out = int32_t(std::min<int64_t>(value, INT32_MAX));
}

}  // namespace

extern "C" {

VARDEK_DECODER_EXPORT TakDecoder *VARDEK_CALL tak_SSD_Create_FromStream(
    const DecoderIo *io, void *ioUser, const TakDecoderOptions *options,
    TakDamageCallback onDamage, void *damageUser) {
  (void)options;
  return DecoderOpen(io, ioUser, onDamage, damageUser);
}

VARDEK_DECODER_EXPORT int32_t VARDEK_CALL tak_SSD_Valid(TakDecoder *decoder) {
  return Usable(decoder) ? 1 : 0;
}

VARDEK_DECODER_EXPORT int32_t VARDEK_CALL tak_SSD_GetStreamInfo(TakDecoder *decoder,
                                                                TakStreamInfo *info) {
  if (!Usable(decoder) || !info) return TAK_RES_INVALID;
  const TakFormat &format = decoder->container.format;
  info->sampleRate = format.sampleRate;
  info->bitsPerSample = format.bitsPerSample;
  info->channels = format.channels;
  info->frameSamples = decoder->layout.frameSamples;
  info->frames = decoder->layout.totalSamples;
  return TAK_RES_OK;
}

VARDEK_DECODER_EXPORT int32_t VARDEK_CALL tak_SSD_ReadAudio(TakDecoder *decoder, void *buffer,
                                                            int32_t framesWanted,
                                                            int32_t *framesRead) {
  if (framesRead) *framesRead = 0;
  if (!Usable(decoder) || !framesRead || (!buffer && framesWanted > 0)) return TAK_RES_INVALID;
  if (framesWanted <= 0) return TAK_RES_OK;
  *framesRead = DecoderRead(decoder, static_cast<uint8_t *>(buffer), framesWanted);
  return TAK_RES_OK;
}

VARDEK_DECODER_EXPORT int32_t VARDEK_CALL tak_SSD_Seek(TakDecoder *decoder, int64_t frame) {
  if (!Usable(decoder)) return TAK_RES_INVALID;
  DecoderSeek(decoder, frame);
  return TAK_RES_OK;
}

VARDEK_DECODER_EXPORT void VARDEK_CALL tak_SSD_Destroy(TakDecoder *decoder) { DecoderClose(decoder); }

VARDEK_DECODER_EXPORT TakApeTag *VARDEK_CALL tak_SSD_GetAPEv2Tag(TakDecoder *decoder) {
  return decoder ? &decoder->ape : nullptr;
}

VARDEK_DECODER_EXPORT int32_t VARDEK_CALL tak_APE_Valid(TakApeTag *tag) {
  return tag && tag->valid == 1 ? 1 : 0;
}

VARDEK_DECODER_EXPORT int32_t VARDEK_CALL tak_APE_GetItemNum(TakApeTag *tag) {
  return tag && tag->valid == 1 ? tag->count : 0;
}

VARDEK_DECODER_EXPORT int32_t VARDEK_CALL tak_APE_GetItemKey(TakApeTag *tag, int32_t index,
                                                             char *key, int32_t capacity,
                                                             int32_t *keyLength) {
  SetOut(keyLength, 0);
  const ApeItem *item = ItemAt(tag, index);
  if (!item) return TAK_RES_INVALID;
  const int64_t length = int64_t(std::strlen(item->key));
  SetOut(keyLength, length);
  if (!key || capacity <= 0) return capacity == 0 ? TAK_RES_OK : TAK_RES_BUFFER;
  const int64_t copied = std::min<int64_t>(length, capacity - 1);
  std::memcpy(key, item->key, size_t(copied));
  key[copied] = 0;
  return copied == length ? TAK_RES_OK : TAK_RES_BUFFER;
}

VARDEK_DECODER_EXPORT int32_t VARDEK_CALL tak_APE_GetItemValue(TakApeTag *tag, int32_t index,
                                                               void *buffer, int32_t capacity,
                                                               int32_t *size) {
  SetOut(size, 0);
  const ApeItem *item = ItemAt(tag, index);
  if (!item) return TAK_RES_INVALID;
  SetOut(size, item->size);
  if (!buffer || capacity <= 0) return capacity == 0 ? TAK_RES_OK : TAK_RES_BUFFER;
  const int64_t copied = std::min<int64_t>(item->size, capacity);
  std::memcpy(buffer, item->value, size_t(copied));
  return copied == int64_t(item->size) ? TAK_RES_OK : TAK_RES_BUFFER;
}

VARDEK_DECODER_EXPORT int32_t VARDEK_CALL tak_APE_GetTextItemValueAsAnsi(
    TakApeTag *tag, int32_t index, int32_t maxLength, char replacement, char *buffer,
    int32_t capacity, int32_t *length) {
  SetOut(length, 0);
  const ApeItem *item = ItemAt(tag, index);
  if (!item) return TAK_RES_INVALID;
  const bool text = item->kind == kApeText;
  const int64_t chars = Utf8ToAnsi(item->value, text ? item->size : 0, maxLength, replacement,
                                   capacity > 0 ? buffer : nullptr, capacity);
  SetOut(length, chars + 1);
  if (!buffer || capacity <= 0) return capacity == 0 ? TAK_RES_OK : TAK_RES_BUFFER;
  return chars + 1 <= capacity ? TAK_RES_OK : TAK_RES_BUFFER;
}

}
