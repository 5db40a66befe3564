/* One TAK frame in, interleaved PCM out, through libavcodec's TAK decoder:
 * one codec context per decoder, no codec threads. libavcodec learns the
 * stream's parameters only from frame headers that carry stream information,
 * so a frame without it that reaches a context which has not yet seen any
 * gets the container's stream information written into its header first.
 * Owns the codec context, its packet and frame, and the packet buffer;
 * borrows the frame bytes. Called by the decoder. */
#ifndef TAK_DECO_FRAME_CODEC_H
#define TAK_DECO_FRAME_CODEC_H

#include <cstdint>

#include "tak_format.h"

struct AVCodecContext;
struct AVPacket;
struct AVFrame;

struct FrameCodec {
  AVCodecContext *context;
  AVPacket *packet;
  AVFrame *frame;
  uint8_t *buffer; /* packet bytes plus libavcodec's zero padding */
  int64_t capacity;
  bool primed;     /* the context has seen stream information */
  TakFormat format;
  const uint8_t *infoRaw; /* the container's stream information bits (borrowed) */
  int64_t infoBitCount;
};

/* Opens the codec for `format`. False when libavcodec has no TAK decoder or
 * refuses the parameters. */
bool CodecOpen(FrameCodec *codec, const TakFormat *format, const uint8_t *infoRaw,
               int64_t infoBitCount);

/* Decodes the frame in `bytes` (header included, `size` bytes, `header` its
 * parsed header) into `samples` interleaved frames at `out`. False when
 * libavcodec rejects it or yields another sample count or layout. */
bool CodecDecode(FrameCodec *codec, const uint8_t *bytes, int64_t size, const FrameHeader *header,
                 int samples, uint8_t *out);

/* Frees everything; safe on a codec that was never opened. */
void CodecClose(FrameCodec *codec);

#endif
