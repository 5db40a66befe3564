/* libavcodec's TAK decoder behind one function (see frame_codec.h). The
 * library checks frame CRCs itself before a frame gets here, so the codec's
 * own CRC checks are switched off. */
#include "frame_codec.h"

#include <cstdlib>
#include <cstring>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/channel_layout.h>
#include <libavutil/frame.h>
}

#include "pcm_output.h"

namespace {

bool Reserve(FrameCodec *codec, int64_t bytes) {
  const int64_t needed = bytes + AV_INPUT_BUFFER_PADDING_SIZE;
  if (needed <= codec->capacity) return true;
  auto *grown = static_cast<uint8_t *>(std::realloc(codec->buffer, size_t(needed)));
  if (!grown) return false;
  codec->buffer = grown;
  codec->capacity = needed;
  return true;
}

/* Copies the frame into the packet buffer, adding stream information to its
 * header when the context still needs it. Returns the packet size, or -1. */
int64_t BuildPacket(FrameCodec *codec, const uint8_t *bytes, int64_t size, const FrameHeader *header) {
  const bool rewrite = !codec->primed && !(header->flags & kFrameHasInfo);
  if (!Reserve(codec, size + kMaxFrameHeaderBytes)) return -1;
  if (!rewrite) {
    std::memcpy(codec->buffer, bytes, size_t(size));
    std::memset(codec->buffer + size, 0, AV_INPUT_BUFFER_PADDING_SIZE);
    return size;
  }
  std::memset(codec->buffer, 0, size_t(kMaxFrameHeaderBytes));
  BitWriter writer = BitWriterOver(codec->buffer, kMaxFrameHeaderBytes);
  WriteBits(&writer, 0xA0FF, 16);
  WriteBits(&writer, uint64_t(header->flags | kFrameHasInfo), 3);
  WriteBits(&writer, uint64_t(header->number), 21);
  if (header->flags & kFrameIsLast) {
    WriteBits(&writer, uint64_t(header->lastSamples - 1), 14);
    WriteBits(&writer, 0, 2);
  }
  CopyBits(&writer, codec->infoRaw, codec->infoBitCount);
  WriteBits(&writer, 0, 6);
  const int64_t headBytes = WriterBytes(&writer);
  WriteBits(&writer, 0, int(headBytes * 8 - writer.position));
  WriteBits(&writer, Crc24(codec->buffer, size_t(headBytes)), 24);
  if (writer.overrun) return -1;
  const int64_t rewritten = headBytes + 3;
  const int64_t body = size - header->size;
  std::memcpy(codec->buffer + rewritten, bytes + header->size, size_t(body));
  std::memset(codec->buffer + rewritten + body, 0, AV_INPUT_BUFFER_PADDING_SIZE);
  return rewritten + body;
}

bool FrameMatches(const FrameCodec *codec, const AVFrame *frame, int samples) {
  const int wanted = codec->format.bitsPerSample == 8    ? AV_SAMPLE_FMT_U8P
                     : codec->format.bitsPerSample == 16 ? AV_SAMPLE_FMT_S16P
                                                         : AV_SAMPLE_FMT_S32P;
  return frame->nb_samples == samples && frame->format == wanted &&
         frame->ch_layout.nb_channels == codec->format.channels;
}

}  // namespace

bool CodecOpen(FrameCodec *codec, const TakFormat *format, const uint8_t *infoRaw,
               int64_t infoBitCount) {
  *codec = FrameCodec{};
  codec->format = *format;
  codec->infoRaw = infoRaw;
  codec->infoBitCount = infoBitCount;
  const AVCodec *decoder = avcodec_find_decoder(AV_CODEC_ID_TAK);
  if (!decoder) return false;
  codec->context = avcodec_alloc_context3(decoder);
  codec->packet = av_packet_alloc();
  codec->frame = av_frame_alloc();
  if (!codec->context || !codec->packet || !codec->frame) return false;
  AVCodecContext *context = codec->context;
  context->sample_rate = format->sampleRate;
  av_channel_layout_default(&context->ch_layout, format->channels);
  context->bits_per_coded_sample = format->bitsPerSample;
  context->thread_count = 1;
  context->err_recognition = 0;
  return avcodec_open2(context, decoder, nullptr) == 0;
}

bool CodecDecode(FrameCodec *codec, const uint8_t *bytes, int64_t size, const FrameHeader *header,
                 int samples, uint8_t *out) {
  const int64_t packetSize = BuildPacket(codec, bytes, size, header);
  if (packetSize < 0 || packetSize > INT32_MAX) return false;
  codec->packet->data = codec->buffer;
  codec->packet->size = int(packetSize);
  const int sent = avcodec_send_packet(codec->context, codec->packet);
  codec->packet->data = nullptr;
  codec->packet->size = 0;
  if (sent < 0) return false;
  if (avcodec_receive_frame(codec->context, codec->frame) < 0) return false;
  const bool ok = FrameMatches(codec, codec->frame, samples);
  if (ok) {
    codec->primed = true;
    InterleavePlanes(codec->frame->extended_data, codec->format.channels, samples,
                     codec->format.bitsPerSample, out);
  }
  av_frame_unref(codec->frame);
  return ok;
}

void CodecClose(FrameCodec *codec) {
  av_frame_free(&codec->frame);
  av_packet_free(&codec->packet);
  avcodec_free_context(&codec->context);
  std::free(codec->buffer);
  *codec = FrameCodec{};
}
