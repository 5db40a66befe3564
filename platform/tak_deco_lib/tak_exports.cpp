/* The twelve exported operations of the TAK decoder library (placeholder:
 * every decoder is invalid until the real decoder lands). */
#include "stream/decoder_interface.h"

extern "C" {
VARDEK_DECODER_EXPORT TakDecoder *VARDEK_CALL tak_SSD_Create_FromStream(const DecoderIo *, void *,
                                                                        const TakDecoderOptions *,
                                                                        TakDamageCallback, void *) {
  return nullptr;
}
VARDEK_DECODER_EXPORT int32_t VARDEK_CALL tak_SSD_Valid(TakDecoder *) { return 0; }
VARDEK_DECODER_EXPORT int32_t VARDEK_CALL tak_SSD_GetStreamInfo(TakDecoder *, TakStreamInfo *) {
  return TAK_RES_INVALID;
}
VARDEK_DECODER_EXPORT int32_t VARDEK_CALL tak_SSD_ReadAudio(TakDecoder *, void *, int32_t,
                                                            int32_t *framesRead) {
  if (framesRead) *framesRead = 0;
  return TAK_RES_INVALID;
}
VARDEK_DECODER_EXPORT int32_t VARDEK_CALL tak_SSD_Seek(TakDecoder *, int64_t) { return TAK_RES_INVALID; }
VARDEK_DECODER_EXPORT void VARDEK_CALL tak_SSD_Destroy(TakDecoder *) {}
VARDEK_DECODER_EXPORT TakApeTag *VARDEK_CALL tak_SSD_GetAPEv2Tag(TakDecoder *) { return nullptr; }
VARDEK_DECODER_EXPORT int32_t VARDEK_CALL tak_APE_Valid(TakApeTag *) { return 0; }
VARDEK_DECODER_EXPORT int32_t VARDEK_CALL tak_APE_GetItemNum(TakApeTag *) { return 0; }
VARDEK_DECODER_EXPORT int32_t VARDEK_CALL tak_APE_GetItemKey(TakApeTag *, int32_t, char *, int32_t,
                                                             int32_t *) {
  return TAK_RES_INVALID;
}
VARDEK_DECODER_EXPORT int32_t VARDEK_CALL tak_APE_GetItemValue(TakApeTag *, int32_t, void *, int32_t,
                                                               int32_t *) {
  return TAK_RES_INVALID;
}
VARDEK_DECODER_EXPORT int32_t VARDEK_CALL tak_APE_GetTextItemValueAsAnsi(TakApeTag *, int32_t, int32_t,
                                                                         char, char *, int32_t,
                                                                         int32_t *) {
  return TAK_RES_INVALID;
}
}
