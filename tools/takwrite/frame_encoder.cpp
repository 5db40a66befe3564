/* One TAK frame: the header (sync word, flags, frame number, the last
 * frame's sample count, the stream information when asked) with its CRC, then
 * the audio with its CRC. Audio of 16 samples or more is coded per channel as
 * a raw first sample plus the residual of a fixed predictor (order 0-3) in a
 * single subframe; stereo pairs may be decorrelated first. Shorter frames
 * carry raw samples. Borrows the frame's planes; called by the stream
 * writer. */
#include <cstdlib>

#include "tak_internal.h"

namespace takwrite {

namespace {

constexpr uint32_t kSyncWord = 0xA0FF;
constexpr int kCodecMonoStereo = 2;
constexpr int kCodecMultichannel = 4;
constexpr uint32_t kMinCodedSamples = 16;

enum StereoMode { kIndependent = 0, kLeftSide = 1, kSideRight = 2, kSideMid = 3 };

/* The residual of the fixed predictor of `order`, in the decoder's layout:
 * element 0 stays the first sample, and the first elements use the highest
 * order their history allows. */
std::vector<int32_t> fixed_residual(const std::vector<int32_t> &x, int order) {
  std::vector<int32_t> r(x.size());
  for (size_t i = 0; i < x.size(); ++i) {
    int use = static_cast<int>(i) < order ? static_cast<int>(i) : order;
    int64_t v = x[i];
    if (use == 1)
      v -= x[i - 1];
    else if (use == 2)
      v += -2ll * x[i - 1] + x[i - 2];
    else if (use == 3)
      v += -3ll * x[i - 1] + 3ll * x[i - 2] - x[i - 3];
    r[i] = static_cast<int32_t>(v);
  }
  return r;
}

uint64_t magnitude(const std::vector<int32_t> &v) {
  uint64_t sum = 0;
  for (size_t i = 1; i < v.size(); ++i)
    sum += static_cast<uint64_t>(std::llabs(v[i]));
  return sum;
}

struct ChannelChoice {
  int order = 0;
  std::vector<int32_t> residual;
};

ChannelChoice best_fixed_residual(const std::vector<int32_t> &x, int max_order) {
  ChannelChoice best;
  uint64_t best_cost = UINT64_MAX;
  for (int order = 0; order <= max_order; ++order) {
    std::vector<int32_t> r = fixed_residual(x, order);
    uint64_t cost = magnitude(r);
    if (cost < best_cost) {
      best_cost = cost;
      best.order = order;
      best.residual = std::move(r);
    }
  }
  return best;
}

/* The two coded planes for a stereo mode, given both channels' residuals.
 * Element 0 is never decorrelated. */
void decorrelate(int mode, const std::vector<int32_t> &r0, const std::vector<int32_t> &r1,
                 std::vector<int32_t> &c0, std::vector<int32_t> &c1) {
  c0 = r0;
  c1 = r1;
  for (size_t i = 1; i < r0.size(); ++i) {
    int32_t side = r1[i] - r0[i];
    if (mode == kLeftSide) {
      c1[i] = side;
    } else if (mode == kSideRight) {
      c0[i] = side;
    } else if (mode == kSideMid) {
      c1[i] = side;
      c0[i] = r0[i] + (side >> 1);
    }
  }
}

void put_channel(BitWriter &w, const FrameSetup &setup, const std::vector<int32_t> &coded,
                 int order) {
  put_bits(w, 0, 1); /* no sample shift */
  put_signed(w, coded[0], setup.format.bits);
  put_bits(w, static_cast<uint32_t>(order), 2);
  put_bits(w, 0, 3); /* one subframe */
  put_bits(w, 0, 1); /* no adaptive filter */
  bool partitioned = put_residual_block(w, coded.data() + 1, coded.size() - 1,
                                        residual_partition_width(setup.format.sample_rate),
                                        setup.options->partitioned_residuals);
  ++setup.stats->predictor_uses[order];
  ++(partitioned ? setup.stats->partitioned_blocks : setup.stats->single_code_blocks);
}

void put_stereo(BitWriter &w, const FrameSetup &setup, const FrameAudio &audio) {
  const WriteOptions &o = *setup.options;
  ChannelChoice a = best_fixed_residual(audio.planes[0], o.max_predictor);
  ChannelChoice b = best_fixed_residual(audio.planes[1], o.max_predictor);
  int mode = kIndependent, order0 = a.order, order1 = b.order;
  std::vector<int32_t> c0 = a.residual, c1 = b.residual;
  uint64_t best_cost = magnitude(c0) + magnitude(c1);
  for (int order = 0; o.stereo_decorrelation && order <= o.max_predictor; ++order) {
    std::vector<int32_t> r0 = fixed_residual(audio.planes[0], order);
    std::vector<int32_t> r1 = fixed_residual(audio.planes[1], order);
    for (int m = kLeftSide; m <= kSideMid; ++m) {
      std::vector<int32_t> t0, t1;
      decorrelate(m, r0, r1, t0, t1);
      uint64_t cost = magnitude(t0) + magnitude(t1);
      if (cost < best_cost) {
        best_cost = cost;
        mode = m;
        order0 = order1 = order;
        c0 = std::move(t0);
        c1 = std::move(t1);
      }
    }
  }
  put_channel(w, setup, c0, order0);
  put_channel(w, setup, c1, order1);
  put_bits(w, 0, 1); /* one decorrelation subframe */
  put_bits(w, static_cast<uint32_t>(mode), 3);
  ++setup.stats->stereo_mode_uses[mode];
}

void put_coded_audio(BitWriter &w, const FrameSetup &setup, const FrameAudio &audio) {
  int channels = setup.format.channels;
  if (channels == 2) {
    put_stereo(w, setup, audio);
    return;
  }
  if (channels > 2)
    put_bits(w, 0, 1); /* channels in order, no inter-channel parameters */
  for (int ch = 0; ch < channels; ++ch) {
    ChannelChoice c = best_fixed_residual(audio.planes[ch], setup.options->max_predictor);
    put_channel(w, setup, c.residual, c.order);
  }
}

void put_raw_audio(BitWriter &w, const FrameSetup &setup, const FrameAudio &audio) {
  for (const std::vector<int32_t> &plane : audio.planes)
    for (uint32_t i = 0; i < audio.count; ++i)
      put_signed(w, plane[i], setup.format.bits);
}

void append_bits(std::vector<uint8_t> &out, BitWriter &w) {
  align_to_byte(w);
  size_t start = out.size();
  out.insert(out.end(), w.bytes.begin(), w.bytes.end());
  append_crc24(out, start);
}

} // namespace

void put_stream_info(BitWriter &w, const FrameSetup &setup) {
  const PcmFormat &f = setup.format;
  put_bits(w, f.channels <= 2 ? kCodecMonoStereo : kCodecMultichannel, 6);
  put_bits(w, 0, 4); /* profile */
  put_bits(w, static_cast<uint32_t>(setup.frame_size_type), 4);
  put_bits64(w, setup.total_samples, 35);
  put_bits(w, 0, 3); /* data type: integer PCM */
  put_bits(w, f.sample_rate - 6000, 18);
  put_bits(w, f.bits - 8u, 5);
  put_bits(w, f.channels - 1u, 4);
  put_bits(w, 0, 1); /* no extended format (valid bits, speaker layout) */
}

void encode_frame(const FrameSetup &setup, uint32_t frame_number, bool is_last,
                  bool with_info, const FrameAudio &audio, std::vector<uint8_t> &out) {
  BitWriter header;
  put_bits(header, kSyncWord, 16);
  put_bits(header, (is_last ? 1u : 0u) | (with_info ? 2u : 0u), 3);
  put_bits(header, frame_number, 21);
  if (is_last) {
    put_bits(header, audio.count - 1, 14);
    put_bits(header, 0, 2);
  }
  if (with_info) {
    put_stream_info(header, setup);
    put_bits(header, 0, 6); /* no extra information */
  }
  append_bits(out, header);

  BitWriter body;
  if (audio.count < kMinCodedSamples) {
    put_raw_audio(body, setup, audio);
    ++setup.stats->raw_frames;
  } else {
    put_coded_audio(body, setup, audio);
  }
  append_bits(out, body);
}

} // namespace takwrite
