/* Internal pieces of takwrite_lib shared between its files: the LSB-first bit
 * writer the TAK bitstream uses, the CRC-24 and MD5 checksums, the residual
 * coder and the frame encoder. Nothing here is part of the public interface
 * (tak_writer.h); the library's own files and its unit tests include it. */
#ifndef VARDEK_TAK_INTERNAL_H
#define VARDEK_TAK_INTERNAL_H

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "tak_writer.h"

namespace takwrite {

/* Bits go into each byte from its least significant bit up; a field's least
 * significant bit is written first. */
struct BitWriter {
  std::vector<uint8_t> bytes;
  uint64_t pending = 0; /* bits not yet forming a whole byte */
  int pending_bits = 0;
};

void put_bits(BitWriter &w, uint32_t value, int count);   /* count 0-32 */
void put_bits64(BitWriter &w, uint64_t value, int count); /* count 0-64 */
void put_signed(BitWriter &w, int32_t value, int count);  /* two's complement field */
void put_zeros(BitWriter &w, int count);
void align_to_byte(BitWriter &w);
uint64_t bit_count(const BitWriter &w);

/* CRC-24 with polynomial 0x864CFB and initial value 0xB704CE, and the three
 * bytes that store it after a block or frame part (low byte first). */
uint32_t crc24(const uint8_t *data, size_t size);
void append_crc24(std::vector<uint8_t> &bytes, size_t from);

std::array<uint8_t, 16> md5(const uint8_t *data, size_t size);

/* Residual coding: a run of signed values coded with one of codes 1-50, or
 * code 0 for a run of zeros. */
int best_residual_code(const int32_t *values, size_t count, uint64_t *bits);
uint64_t residual_code_bits(int code, const int32_t *values, size_t count);
void put_residuals(BitWriter &w, int code, const int32_t *values, size_t count);

/* Partition width the decoder derives from the sample rate. */
uint32_t residual_partition_width(uint32_t sample_rate);
/* Writes a subframe's residual block: the flag, then one code or partitions.
 * Returns true when it wrote partitions. */
bool put_residual_block(BitWriter &w, const int32_t *values, size_t count,
                        uint32_t partition_width, bool allow_partitions);

/* One frame's audio: `channels` planes of `count` signed samples each. */
struct FrameAudio {
  std::vector<std::vector<int32_t>> planes;
  uint32_t count = 0;
};

struct FrameSetup {
  PcmFormat format;
  int frame_size_type = 0;
  uint64_t total_samples = 0;
  const WriteOptions *options = nullptr;
  EncodeStats *stats = nullptr; /* coding counters, always set */
};

/* Appends one complete frame (header, header CRC, audio, audio CRC). */
void encode_frame(const FrameSetup &setup, uint32_t frame_number, bool is_last,
                  bool with_info, const FrameAudio &audio, std::vector<uint8_t> &out);

/* The 80-bit stream information field shared by the metadata block and the
 * frame headers. */
void put_stream_info(BitWriter &w, const FrameSetup &setup);

} // namespace takwrite

#endif
