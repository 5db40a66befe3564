/* TAK bit reader, bit writer and CRC-24 (see tak_bits.h). */
#include "tak_bits.h"

namespace {

struct Crc24Table {
  uint32_t entry[256];
};

Crc24Table BuildCrc24Table() {
  Crc24Table table{};
  for (uint32_t i = 0; i < 256; ++i) {
    uint32_t c = i << 16;
    for (int bit = 0; bit < 8; ++bit) c = (c & 0x800000u) ? ((c << 1) ^ 0x864CFBu) : (c << 1);
    table.entry[i] = c & 0xFFFFFFu;
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

uint32_t Crc24Update(uint32_t crc, const uint8_t *data, size_t size) {
  for (size_t i = 0; i < size; ++i)
    crc = ((crc << 8) ^ kCrc24.entry[((crc >> 16) ^ data[i]) & 0xFFu]) & 0xFFFFFFu;
  return crc;
}

bool Crc24Trailer(const uint8_t *data, size_t size) {
  if (size < 3) return false;
  return Crc24(data, size - 3) == StoredCrc24(data + size - 3);
}
