/* The decoder record behind a TakDecoder handle and its four operations:
 * open (container, tags, layout, exact length, codec), read (whole TAK frames
 * decoded into a one-frame PCM cache, delivered from any sample position;
 * frames wanted whole are decoded straight into the caller's buffer),
 * seek (just sets the position; the next read locates the frame) and close.
 * Owns the record, the APEv2 tag, the byte window, the codec and the PCM
 * cache; borrows the caller's I/O user value and damage callback. Called by
 * the exported tak_SSD_ operations. */
#ifndef TAK_DECO_TAK_DECODER_H
#define TAK_DECO_TAK_DECODER_H

#include <cstdint>

#include "ape_tag.h"
#include "byte_window.h"
#include "frame_codec.h"
#include "frame_locator.h"
#include "stream_io.h"
#include "tak_container.h"

struct TakDecoder {
  int32_t valid; /* 1 once open succeeded */
  StreamIo stream;
  TakDamageCallback onDamage;
  void *damageUser;
  TakContainer container;
  TakApeTag ape;
  ByteWindow window;
  FrameLayout layout;
  Locator locator;
  FrameCodec codec;
  int frameBytes;     /* output bytes per sample frame */
  int64_t position;   /* next sample frame to deliver */
  uint8_t *pcm;       /* one TAK frame of output PCM */
  int32_t pcmFrame;   /* TAK frame held in `pcm`, -1 for none */
  bool haveNext;      /* `next` is the header following the last decoded frame */
  FrameSpot next;
};

/* Allocates and opens a decoder. Null only when the record cannot be
 * allocated or the I/O record is unusable; a stream we cannot decode gives a
 * decoder with valid = 0. */
TakDecoder *DecoderOpen(const DecoderIo *io, void *ioUser, TakDamageCallback onDamage,
                        void *damageUser);

/* Delivers up to `wanted` sample frames from the current position. Returns the
 * number delivered: fewer only at the end of the stream. */
int32_t DecoderRead(TakDecoder *decoder, uint8_t *out, int32_t wanted);

/* Moves the position; at or past the end means the end of the stream. */
void DecoderSeek(TakDecoder *decoder, int64_t frame);

/* Frees the decoder and all it owns. */
void DecoderClose(TakDecoder *decoder);

#endif
