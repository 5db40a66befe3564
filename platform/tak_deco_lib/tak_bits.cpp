/* TAK bit reader, bit writer and CRC-24 (see tak_bits.h). */
#include "tak_bits.h"

namespace {

/* CRC-24 tables for sixteen bytes at a time. The 24-bit register is kept in
 * the top of a 32-bit word, so the usual big-endian slicing works unchanged:
 * entry[0] is the one-byte table, entry[k] the same byte followed by k zero
 * bytes. */
struct Crc24Table {
  uint32_t entry[16][256];
};

Crc24Table BuildCrc24Table() {
  Crc24Table table{};
  for (uint32_t i = 0; i < 256; ++i) {
    uint32_t c = i << 16;
    for (int bit = 0; bit < 8; ++bit) c = (c & 0x800000u) ? ((c << 1) ^ 0x864CFBu) : (c << 1);
    table.entry[0][i] = (c & 0xFFFFFFu) << 8;
  }
  for (int k = 1; k < 16; ++k)
    for (uint32_t i = 0; i < 256; ++i) {
      const uint32_t prev = table.entry[k - 1][i];
      table.entry[k][i] = (prev << 8) ^ table.entry[0][prev >> 24];
    }
  return table;
}

const Crc24Table kCrc24 = BuildCrc24Table();

}  // namespace

BitReader BitReaderOver(const uint8_t *data, int64_t byteCount) {
  return BitReader{data, byteCount * 8, 0, false};
}

uint64_t ReadBits(BitReader *reader, int count) {
  uint64_t value = 0;
  for (int i = 0; i < count; ++i, ++reader->position) {
    if (reader->position >= reader->bitCount) {
      reader->overrun = true;
      continue;
    }
    const uint8_t byte = reader->data[reader->position >> 3];
    value |= uint64_t((byte >> (reader->position & 7)) & 1u) << i;
  }
  return value;
}

void AlignToByte(BitReader *reader) { reader->position = (reader->position + 7) & ~int64_t(7); }

BitWriter BitWriterOver(uint8_t *data, int64_t capacity) {
  return BitWriter{data, capacity, 0, false};
}

void WriteBits(BitWriter *writer, uint64_t value, int count) {
  for (int i = 0; i < count; ++i, ++writer->position) {
    const int64_t byte = writer->position >> 3;
    if (byte >= writer->capacity) {
      writer->overrun = true;
      continue;
    }
    const uint8_t mask = uint8_t(1u << (writer->position & 7));
    if ((value >> i) & 1u)
      writer->data[byte] |= mask;
    else
      writer->data[byte] &= uint8_t(~mask);
  }
}

void CopyBits(BitWriter *writer, const uint8_t *source, int64_t bitCount) {
  BitReader reader = BitReaderOver(source, (bitCount + 7) / 8);
  for (int64_t left = bitCount; left > 0; left -= 32) {
    const int chunk = left < 32 ? int(left) : 32;
    WriteBits(writer, ReadBits(&reader, chunk), chunk);
  }
}

int64_t WriterBytes(const BitWriter *writer) { return (writer->position + 7) / 8; }

uint32_t Crc24(const uint8_t *data, size_t size) { return Crc24Update(kCrc24Initial, data, size); }

uint32_t StoredCrc24(const uint8_t *p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16;
}

namespace {
uint32_t Big32(const uint8_t *p) {
  return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | uint32_t(p[3]);
}
}  // namespace

uint32_t Crc24Update(uint32_t crc, const uint8_t *data, size_t size) {
  const auto &t = kCrc24.entry;
  uint32_t r = crc << 8;
  for (; size >= 16; size -= 16, data += 16) {
    const uint32_t a = r ^ Big32(data), b = Big32(data + 4), c = Big32(data + 8), d = Big32(data + 12);
    r = t[15][a >> 24] ^ t[14][(a >> 16) & 0xFFu] ^ t[13][(a >> 8) & 0xFFu] ^ t[12][a & 0xFFu] ^
        t[11][b >> 24] ^ t[10][(b >> 16) & 0xFFu] ^ t[9][(b >> 8) & 0xFFu] ^ t[8][b & 0xFFu] ^
        t[7][c >> 24] ^ t[6][(c >> 16) & 0xFFu] ^ t[5][(c >> 8) & 0xFFu] ^ t[4][c & 0xFFu] ^
        t[3][d >> 24] ^ t[2][(d >> 16) & 0xFFu] ^ t[1][(d >> 8) & 0xFFu] ^ t[0][d & 0xFFu];
  }
  for (; size > 0; --size, ++data) r = (r << 8) ^ t[0][(r >> 24) ^ *data];
  return r >> 8;
}

bool Crc24Trailer(const uint8_t *data, size_t size) {
  if (size < 3) return false;
  return Crc24(data, size - 3) == StoredCrc24(data + size - 3);
}
