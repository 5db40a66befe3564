/* Control of the scripted decoder double (library vardek_decoder_double),
 * which stands in for tak_deco_lib: it defines the twelve tak_ operations and
 * answers them from a script (stream information, PCM bytes, result codes,
 * APEv2 items with the sizes they report), recording what it is given. It
 * never reads through the I/O record; tests call the recorded record
 * themselves. Global, single threaded; DecoderDouble_Reset starts afresh.
 * Plain C so that the double can also be built as a DLL. */
#ifndef VARDEK_DECODER_DOUBLE_H
#define VARDEK_DECODER_DOUBLE_H

#include <stdint.h>

#include "double_api.h"
#include "stream/decoder_interface.h"

#ifdef VARDEK_BUILDING_DECODER_DOUBLE
#define DECODER_DOUBLE_API VARDEK_DOUBLE_EXPORT
#else
#define DECODER_DOUBLE_API VARDEK_DOUBLE_IMPORT
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* How tak_SSD_Create_FromStream and tak_SSD_Valid answer. */
enum { DD_CREATE_VALID = 0, DD_CREATE_NULL = 1, DD_CREATE_INVALID = 2 };

/* Which reported sizes of an item lie (bit set = use the *Lie value). */
enum {
  DD_LIE_VALUE_QUERY = 1,  /* size reported with a null buffer */
  DD_LIE_VALUE_FETCH = 2,  /* size reported with the buffer */
  DD_LIE_TEXT_QUERY = 4,
  DD_LIE_TEXT_FETCH = 8,
  DD_KEY_UNTERMINATED = 16 /* the key fills the whole capacity with no zero */
};

/* One APEv2 item. An honest item copies min(size, capacity) value bytes and
 * reports valueSize; its text (the value itself when text is null) is written
 * with a terminating zero as far as the capacity allows, and its reported
 * length counts that zero. */
typedef struct DecoderDoubleItem {
  const char *key;
  const void *value;
  int32_t valueSize;
  const char *text;
  uint32_t lies;
  int32_t valueQueryLie, valueFetchLie, textQueryLie, textFetchLie;
} DecoderDoubleItem;

/* One call of an APE item operation, as the double saw it. */
enum { DD_OP_KEY = 1, DD_OP_VALUE = 2, DD_OP_TEXT = 3 };
typedef struct DecoderDoubleOp {
  int32_t op, index, capacity;
  int32_t nullBuffer;
} DecoderDoubleOp;

/* What the decoder was created with. */
typedef struct DecoderDoubleCreation {
  const DecoderIo *io;
  void *ioUser;
  TakDecoderOptions options; /* copied during the call */
  TakDamageCallback onDamage;
  void *damageUser;
} DecoderDoubleCreation;

DECODER_DOUBLE_API void DecoderDouble_Reset(void);

/* The script; all pointers are borrowed and must outlive the decoders. */
DECODER_DOUBLE_API void DecoderDouble_SetCreate(int32_t mode);
DECODER_DOUBLE_API void DecoderDouble_SetInfo(const TakStreamInfo *info, int32_t result);
DECODER_DOUBLE_API void DecoderDouble_SetPcm(const void *bytes, uint64_t size);
DECODER_DOUBLE_API void DecoderDouble_SetReadResult(int32_t result);
/* Reports `extra` frames more than it copied on every read (a lying library). */
DECODER_DOUBLE_API void DecoderDouble_SetReadExtra(int32_t extra);
DECODER_DOUBLE_API void DecoderDouble_SetApe(int32_t valid, const DecoderDoubleItem *items, int32_t count);

/* What was asked. */
DECODER_DOUBLE_API int DecoderDouble_LastCreation(DecoderDoubleCreation *out); /* 0 if none */
DECODER_DOUBLE_API int32_t DecoderDouble_LiveDecoders(void);
DECODER_DOUBLE_API uint32_t DecoderDouble_Reads(void);
DECODER_DOUBLE_API int32_t DecoderDouble_LastFramesWanted(void);
DECODER_DOUBLE_API uint32_t DecoderDouble_Seeks(void);
DECODER_DOUBLE_API int64_t DecoderDouble_LastSeek(void);
DECODER_DOUBLE_API uint32_t DecoderDouble_OpCount(void);
DECODER_DOUBLE_API int DecoderDouble_GetOp(uint32_t index, DecoderDoubleOp *out);

#ifdef __cplusplus
}
#endif

#endif
