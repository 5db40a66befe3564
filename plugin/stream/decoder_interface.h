/* The binary interface of the TAK decoder library (tak_deco_lib): the I/O
 * record through which the library reads a stream (DecoderIo), the options and
 * stream-information records, the damage callback, the opaque decoder and
 * APEv2 tag handles, and the twelve tak_SSD_ / tak_APE_ operations the
 * plug-in calls. This header is the only place they are declared: the
 * plug-in, the library stand-in under platform/tak_deco_lib and the scripted
 * test double all include it. Plain C. */
#ifndef VARDEK_DECODER_INTERFACE_H
#define VARDEK_DECODER_INTERFACE_H

#include <stdint.h>

#include "../host/host_interface.h" /* VARDEK_CALL, VARDEK_EXPORT/IMPORT */

#ifdef __cplusplus
extern "C" {
#endif

typedef int32_t TakBool; /* 0 = false, anything else = true */

/* The nine I/O operations, each given the I/O user value the library was
 * created with. Counts are 32-bit; positions and lengths are 64-bit byte
 * offsets from the start of the stream. */
typedef struct DecoderIo {
  TakBool(VARDEK_CALL *canRead)(void *user);
  TakBool(VARDEK_CALL *canWrite)(void *user);
  TakBool(VARDEK_CALL *canSeek)(void *user);
  TakBool(VARDEK_CALL *read)(void *user, void *buffer, int32_t count, int32_t *bytesRead);
  TakBool(VARDEK_CALL *write)(void *user, const void *buffer, int32_t count, int32_t *bytesWritten);
  TakBool(VARDEK_CALL *flush)(void *user);
  TakBool(VARDEK_CALL *truncate)(void *user);
  TakBool(VARDEK_CALL *seek)(void *user, int64_t offset);
  TakBool(VARDEK_CALL *getLength)(void *user, int64_t *length);
} DecoderIo;

/* Decoder options. The plug-in passes {7, 0}. Our library ignores both. */
typedef struct TakDecoderOptions {
  int32_t cpu;   /* processor features the library may use (bit mask) */
  int32_t flags; /* decoding flags */
} TakDecoderOptions;

/* What tak_SSD_GetStreamInfo reports. One frame = one sample per channel. */
typedef struct TakStreamInfo {
  int32_t sampleRate;    /* Hz */
  int32_t bitsPerSample; /* 8, 16 or 24 */
  int32_t channels;      /* 1 to 16 */
  int32_t frameSamples;  /* samples per channel in every TAK frame but the last */
  int64_t frames;        /* total frames (samples per channel) in the stream */
} TakStreamInfo;

/* Reasons given to the damage callback. */
enum { TAK_DAMAGE_CRC = 1, TAK_DAMAGE_DECODE = 2, TAK_DAMAGE_MISSING = 3 };

/* Called when a stretch of the stream could not be decoded and is delivered
 * as silence: `firstFrame` is the index of its first frame (sample per
 * channel), `frameCount` how many frames were replaced.
 * The library calls it once per damaged TAK frame, from tak_SSD_ReadAudio,
 * just before that frame's samples are delivered, with the whole TAK frame's
 * range (also when the read starts inside it); a frame decoded again after a
 * seek is reported again. Reasons: TAK_DAMAGE_CRC when the frame's data fails
 * its CRC, TAK_DAMAGE_DECODE when the data passes but cannot be decoded,
 * TAK_DAMAGE_MISSING when the frame's header cannot be found. Silence is
 * 0x80 for 8-bit audio and 0 otherwise, so lengths and positions stay true.
 * A file cut short is not damage: it ends at its last complete frame. */
typedef void(VARDEK_CALL *TakDamageCallback)(void *user, int32_t reason, int64_t firstFrame,
                                             int32_t frameCount);

typedef struct TakDecoder TakDecoder; /* opaque */
typedef struct TakApeTag TakApeTag;   /* opaque */

/* APEv2 operations: items keep file order. GetItemKey writes a NUL-terminated
 * key (truncated to capacity - 1). GetItemValue copies the raw value bytes; with
 * a null buffer and capacity 0 it only reports the size.
 * GetTextItemValueAsAnsi writes the value as 8-bit (Windows-1252) text with a
 * terminating zero, at most maxLength characters (-1 = no limit), every
 * character 1252 cannot hold replaced by `replacement`; the reported length
 * counts the terminating zero.
 * Details of the library's choices:
 * - The tag is looked for at the end of the stream, then just before a
 *   trailing 128-byte ID3v1 tag. Versions 1000 and 2000; a 2000 header is used
 *   when the footer's bit 31 says there is one, and must then agree with the
 *   footer. Tags over 64 MiB, sizes below 32 or past the stream, an item count
 *   the bytes cannot hold, an empty or unterminated key or a value past the
 *   tag make the whole tag invalid (tak_APE_Valid 0, no items).
 * - Keys are reported exactly as stored; the key length is strlen of the key.
 * - The three item queries return TAK_RES_OK, TAK_RES_BUFFER when the buffer
 *   was too small (it is still filled and, for text and keys, terminated),
 *   TAK_RES_INVALID for an invalid tag or index; the reported size or length
 *   is always the full one.
 * - Text: UTF-8 of version 2000 text items (and of every version 1000 item).
 *   Malformed UTF-8 gives one replacement byte per offending byte; a valid
 *   character outside 1252 gives one replacement byte. The NUL bytes that
 *   separate multiple values become "; " (a single NUL ending the value just
 *   ends it). Binary (kind 1), link (kind 2) and reserved items give an empty
 *   text (length 1: just the terminating zero). */

/* Result codes of the operations that return one. */
enum { TAK_RES_OK = 0, TAK_RES_INVALID = -1, TAK_RES_ERROR = -2, TAK_RES_BUFFER = -3 };

#ifndef VARDEK_DECODER_EXPORT
#define VARDEK_DECODER_EXPORT VARDEK_IMPORT
#endif

VARDEK_DECODER_EXPORT TakDecoder *VARDEK_CALL tak_SSD_Create_FromStream(
    const DecoderIo *io, void *ioUser, const TakDecoderOptions *options,
    TakDamageCallback onDamage, void *damageUser);
VARDEK_DECODER_EXPORT int32_t VARDEK_CALL tak_SSD_Valid(TakDecoder *decoder);
VARDEK_DECODER_EXPORT int32_t VARDEK_CALL tak_SSD_GetStreamInfo(TakDecoder *decoder,
                                                                TakStreamInfo *info);
VARDEK_DECODER_EXPORT int32_t VARDEK_CALL tak_SSD_ReadAudio(TakDecoder *decoder, void *buffer,
                                                            int32_t framesWanted,
                                                            int32_t *framesRead);
VARDEK_DECODER_EXPORT int32_t VARDEK_CALL tak_SSD_Seek(TakDecoder *decoder, int64_t frame);
VARDEK_DECODER_EXPORT void VARDEK_CALL tak_SSD_Destroy(TakDecoder *decoder);
VARDEK_DECODER_EXPORT TakApeTag *VARDEK_CALL tak_SSD_GetAPEv2Tag(TakDecoder *decoder);

VARDEK_DECODER_EXPORT int32_t VARDEK_CALL tak_APE_Valid(TakApeTag *tag);
VARDEK_DECODER_EXPORT int32_t VARDEK_CALL tak_APE_GetItemNum(TakApeTag *tag);
VARDEK_DECODER_EXPORT int32_t VARDEK_CALL tak_APE_GetItemKey(TakApeTag *tag, int32_t index,
                                                             char *key, int32_t capacity,
                                                             int32_t *keyLength);
VARDEK_DECODER_EXPORT int32_t VARDEK_CALL tak_APE_GetItemValue(TakApeTag *tag, int32_t index,
                                                               void *buffer, int32_t capacity,
                                                               int32_t *size);
VARDEK_DECODER_EXPORT int32_t VARDEK_CALL tak_APE_GetTextItemValueAsAnsi(
    TakApeTag *tag, int32_t index, int32_t maxLength, char replacement, char *buffer,
    int32_t capacity, int32_t *length);

#ifdef __cplusplus
}
#endif

#endif
