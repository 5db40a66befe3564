/* A decoder opened over an in-memory image, closed on scope exit, with the
 * damage reports it made; plus whole-stream decoding in odd-sized reads.
 * Shared by the decode, seek and damage tests. */
#ifndef TAK_DECO_DECODER_FIXTURE_H
#define TAK_DECO_DECODER_FIXTURE_H

#include <vector>

#include "test_files.h"

struct DamageReport {
  int32_t reason;
  int64_t firstFrame;
  int32_t frameCount;
};

struct OpenDecoder {
  explicit OpenDecoder(const Bytes &file, bool jumble = true) {
    stream.bytes = file;
    stream.jumble = jumble;
    const TakDecoderOptions options{7, 0};
    decoder = tak_SSD_Create_FromStream(&kMemoryIo, &stream, &options, &OnDamage, this);
  }
  ~OpenDecoder() { tak_SSD_Destroy(decoder); }
  OpenDecoder(const OpenDecoder &) = delete;
  OpenDecoder &operator=(const OpenDecoder &) = delete;

  static void VARDEK_CALL OnDamage(void *user, int32_t reason, int64_t first, int32_t count) {
    static_cast<OpenDecoder *>(user)->damage.push_back({reason, first, count});
  }

  TakStreamInfo Info() {
    TakStreamInfo info{};
    tak_SSD_GetStreamInfo(decoder, &info);
    return info;
  }

  /* Reads `frames` sample frames (fewer at the end) in reads of `chunk`. */
  Bytes Read(int64_t frames, int32_t chunk = 1237) {
    const TakStreamInfo info = Info();
    const int frameBytes = info.channels * info.bitsPerSample / 8;
    Bytes out;
    std::vector<uint8_t> buffer(size_t(chunk) * frameBytes);
    while (frames > 0) {
      int32_t got = -1;
      const int32_t want = int32_t(frames < chunk ? frames : chunk);
      if (tak_SSD_ReadAudio(decoder, buffer.data(), want, &got) != 0 || got <= 0) break;
      out.insert(out.end(), buffer.begin(), buffer.begin() + int64_t(got) * frameBytes);
      frames -= got;
    }
    return out;
  }

  Bytes ReadAll(int32_t chunk = 1237) { return Read(INT64_MAX, chunk); }

  MemoryStream stream;
  TakDecoder *decoder = nullptr;
  std::vector<DamageReport> damage;
};

#endif
