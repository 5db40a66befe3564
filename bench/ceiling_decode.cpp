/* The plain libavcodec loop (see ceiling_decode.h). The frame data is found
 * the way FFmpeg's own TAK demuxer finds it: after the "tBaK" marker and the
 * metadata blocks up to the END block, and before an APEv2 tag at the end. */
#include "ceiling_decode.h"

#include <cstring>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/channel_layout.h>
}

namespace {

uint32_t Le24(const uint8_t *p) { return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16; }
uint32_t Le32(const uint8_t *p) { return Le24(p) | uint32_t(p[3]) << 24; }

/* [start, end) of the frame data; false when the container is not as written. */
bool FrameData(const BenchFile &file, uint64_t &start, uint64_t &end) {
  const uint8_t *b = file.bytes.data();
  if (file.size < 8 || std::memcmp(b, "tBaK", 4) != 0) return false;
  uint64_t at = 4;
  for (;;) {
    if (at + 4 > file.size) return false;
    const uint8_t type = b[at] & 0x7F;
    at += 4 + Le24(b + at + 1);
    if (type == 0) break;
  }
  start = at;
  end = file.size;
  if (file.size >= 32 && std::memcmp(b + file.size - 32, "APETAGEX", 8) == 0)
    end = file.size - Le32(b + file.size - 32 + 12);
  return start < end;
}

struct Codec {
  AVCodecContext *context = nullptr;
  AVCodecParserContext *parser = nullptr;
  AVPacket *packet = nullptr;
  AVFrame *frame = nullptr;
};

bool Open(Codec &c, const BenchFile &file) {
  const AVCodec *decoder = avcodec_find_decoder(AV_CODEC_ID_TAK);
  if (!decoder) return false;
  c.context = avcodec_alloc_context3(decoder);
  c.parser = av_parser_init(AV_CODEC_ID_TAK);
  c.packet = av_packet_alloc();
  c.frame = av_frame_alloc();
  if (!c.context || !c.parser || !c.packet || !c.frame) return false;
  c.context->sample_rate = int(file.rate);
  av_channel_layout_default(&c.context->ch_layout, file.channels);
  c.context->bits_per_coded_sample = file.bits;
  c.context->thread_count = 1;
  return avcodec_open2(c.context, decoder, nullptr) == 0;
}

void Close(Codec &c) {
  av_frame_free(&c.frame);
  av_packet_free(&c.packet);
  if (c.parser) av_parser_close(c.parser);
  avcodec_free_context(&c.context);
}

/* Sample by sample in output order, one pass, with stereo spelled out: the
 * quickest plain loops for the two-channel files measured here, so that the
 * ceiling is a fair one. */
template <typename Sample, int Shift>
void Interleave(const AVFrame *f, int16_t *out) {
  const int channels = f->ch_layout.nb_channels;
  const auto *const *in = reinterpret_cast<const Sample *const *>(f->extended_data);
  if (channels == 2) {
    const Sample *left = in[0], *right = in[1];
    for (int i = 0; i < f->nb_samples; ++i) {
      out[2 * i] = int16_t(left[i] >> Shift);
      out[2 * i + 1] = int16_t(right[i] >> Shift);
    }
    return;
  }
  for (int i = 0; i < f->nb_samples; ++i)
    for (int ch = 0; ch < channels; ++ch) *out++ = int16_t(in[ch][i] >> Shift);
}

/* Sends one packet (null data flushes) and interleaves every frame it gives. */
bool Decode(Codec &c, uint8_t *data, int size, std::vector<int16_t> &out, CeilingResult &r) {
  c.packet->data = data;
  c.packet->size = size;
  if (avcodec_send_packet(c.context, data ? c.packet : nullptr) < 0) return false;
  while (avcodec_receive_frame(c.context, c.frame) == 0) {
    const size_t samples = size_t(c.frame->nb_samples) * size_t(c.frame->ch_layout.nb_channels);
    if (out.size() < samples) out.resize(samples);
    if (c.frame->format == AV_SAMPLE_FMT_S16P) Interleave<int16_t, 0>(c.frame, out.data());
    else if (c.frame->format == AV_SAMPLE_FMT_S32P) Interleave<int32_t, 16>(c.frame, out.data());
    else return false;
    r.frames += uint64_t(c.frame->nb_samples);
    ++r.takFrames;
    av_frame_unref(c.frame);
  }
  return true;
}

/* Feeds the frame data, then flushes the parser (its last packet comes only
 * from a call with no data) and the decoder. */
bool Run(Codec &c, const BenchFile &file, CeilingResult &r) {
  uint64_t start = 0, end = 0;
  if (!FrameData(file, start, end)) return false;
  const uint8_t *in = file.bytes.data() + start;
  uint64_t left = end - start;
  std::vector<int16_t> out;
  bool flushing = false;
  for (;;) {
    uint8_t *packet = nullptr;
    int packetSize = 0;
    const int chunk = int(left < (1u << 30) ? left : (1u << 30));
    const int used = av_parser_parse2(c.parser, c.context, &packet, &packetSize,
                                      flushing ? nullptr : in, flushing ? 0 : chunk,
                                      AV_NOPTS_VALUE, AV_NOPTS_VALUE, 0);
    if (used < 0) return false;
    in += used;
    left -= uint64_t(used);
    if (packetSize > 0 && !Decode(c, packet, packetSize, out, r)) return false;
    if (flushing && packetSize == 0) break;
    flushing = left == 0;
  }
  return Decode(c, nullptr, 0, out, r);
}

}  // namespace

CeilingResult CeilingDecode(const BenchFile &file) {
  CeilingResult r{false, 0, 0};
  Codec c;
  r.ok = Open(c, file) && Run(c, file, r);
  Close(c);
  return r;
}
