/* The LSB-first bit writer of the TAK bitstream and the two checksums the
 * format stores (CRC-24 after every metadata block and frame part, MD5 of
 * the PCM). Owns no state beyond the BitWriter it is handed. Called by the
 * residual coder, the frame encoder and the stream writer. */
#include <cmath>
#include <cstring>

#include "tak_internal.h"

namespace takwrite {

void put_bits(BitWriter &w, uint32_t value, int count) {
  if (count <= 0)
    return;
  uint64_t field = count == 32 ? value : value & ((1u << count) - 1);
  w.pending |= field << w.pending_bits;
  w.pending_bits += count;
  while (w.pending_bits >= 8) {
    w.bytes.push_back(static_cast<uint8_t>(w.pending));
    w.pending >>= 8;
    w.pending_bits -= 8;
  }
}

void put_bits64(BitWriter &w, uint64_t value, int count) {
  if (count > 32) {
    put_bits(w, static_cast<uint32_t>(value), 32);
    put_bits(w, static_cast<uint32_t>(value >> 32), count - 32);
  } else {
    put_bits(w, static_cast<uint32_t>(value), count);
  }
}

void put_signed(BitWriter &w, int32_t value, int count) {
  put_bits(w, static_cast<uint32_t>(value), count);
}

void put_zeros(BitWriter &w, int count) {
  for (; count > 32; count -= 32)
    put_bits(w, 0, 32);
  put_bits(w, 0, count);
}

void align_to_byte(BitWriter &w) {
  if (w.pending_bits > 0)
    put_bits(w, 0, 8 - w.pending_bits);
}

uint64_t bit_count(const BitWriter &w) {
  return w.bytes.size() * 8ull + static_cast<uint64_t>(w.pending_bits);
}

uint32_t crc24(const uint8_t *data, size_t size) {
  uint32_t crc = 0xB704CE;
  for (size_t i = 0; i < size; ++i) {
    crc ^= static_cast<uint32_t>(data[i]) << 16;
    for (int bit = 0; bit < 8; ++bit) {
      crc <<= 1;
      if (crc & 0x1000000)
        crc ^= 0x1864CFB;
    }
  }
  return crc & 0xFFFFFF;
}

void append_crc24(std::vector<uint8_t> &bytes, size_t from) {
  uint32_t crc = crc24(bytes.data() + from, bytes.size() - from);
  bytes.push_back(static_cast<uint8_t>(crc));
  bytes.push_back(static_cast<uint8_t>(crc >> 8));
  bytes.push_back(static_cast<uint8_t>(crc >> 16));
}

/* MD5 as in RFC 1321. */
namespace {

constexpr uint32_t kShift[64] = {7, 12, 17, 22, 7, 12, 17, 22, 7, 12, 17, 22, 7, 12, 17, 22,
                                 5, 9,  14, 20, 5, 9,  14, 20, 5, 9,  14, 20, 5, 9,  14, 20,
                                 4, 11, 16, 23, 4, 11, 16, 23, 4, 11, 16, 23, 4, 11, 16, 23,
                                 6, 10, 15, 21, 6, 10, 15, 21, 6, 10, 15, 21, 6, 10, 15, 21};

uint32_t rotl(uint32_t x, uint32_t n) { return (x << n) | (x >> (32 - n)); }

struct Md5Table {
  uint32_t k[64];
};

Md5Table make_table() {
  Md5Table t{};
  for (int i = 0; i < 64; ++i) {
    double s = std::fabs(std::sin(static_cast<double>(i + 1)));
    t.k[i] = static_cast<uint32_t>(static_cast<uint64_t>(s * 4294967296.0));
  }
  return t;
}

void md5_block(uint32_t h[4], const uint8_t *block, const Md5Table &t) {
  uint32_t m[16];
  for (int i = 0; i < 16; ++i)
    m[i] = block[4 * i] | block[4 * i + 1] << 8 | block[4 * i + 2] << 16 |
           static_cast<uint32_t>(block[4 * i + 3]) << 24;
  uint32_t a = h[0], b = h[1], c = h[2], d = h[3];
  for (uint32_t i = 0; i < 64; ++i) {
    uint32_t f, g;
    if (i < 16) {
      f = (b & c) | (~b & d);
      g = i;
    } else if (i < 32) {
      f = (d & b) | (~d & c);
      g = (5 * i + 1) % 16;
    } else if (i < 48) {
      f = b ^ c ^ d;
      g = (3 * i + 5) % 16;
    } else {
      f = c ^ (b | ~d);
      g = (7 * i) % 16;
    }
    uint32_t next = b + rotl(a + f + t.k[i] + m[g], kShift[i]);
    a = d;
    d = c;
    c = b;
    b = next;
  }
  h[0] += a;
  h[1] += b;
  h[2] += c;
  h[3] += d;
}

} // namespace

std::array<uint8_t, 16> md5(const uint8_t *data, size_t size) {
  static const Md5Table table = make_table();
  uint32_t h[4] = {0x67452301, 0xEFCDAB89, 0x98BADCFE, 0x10325476};
  size_t whole = size / 64 * 64;
  for (size_t at = 0; at < whole; at += 64)
    md5_block(h, data + at, table);
  uint8_t tail[128] = {};
  size_t rest = size - whole;
  if (rest)
    std::memcpy(tail, data + whole, rest);
  tail[rest] = 0x80;
  size_t tail_size = rest < 56 ? 64 : 128;
  uint64_t bits = static_cast<uint64_t>(size) * 8;
  for (int i = 0; i < 8; ++i)
    tail[tail_size - 8 + i] = static_cast<uint8_t>(bits >> (8 * i));
  for (size_t at = 0; at < tail_size; at += 64)
    md5_block(h, tail + at, table);
  std::array<uint8_t, 16> digest{};
  for (int i = 0; i < 16; ++i)
    digest[i] = static_cast<uint8_t>(h[i / 4] >> (8 * (i % 4)));
  return digest;
}

} // namespace takwrite
