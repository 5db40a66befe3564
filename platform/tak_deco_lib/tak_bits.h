/* Bit-level helpers for TAK's headers: a reader and a writer for TAK's
 * least-significant-bit-first bit order, and the CRC-24 that guards metadata
 * blocks, frame headers and frame data. Owns nothing; borrows the caller's
 * bytes. Called by the stream-information and frame-header parsers and by the
 * packet builder. */
#ifndef TAK_DECO_TAK_BITS_H
#define TAK_DECO_TAK_BITS_H

#include <cstddef>
#include <cstdint>

/* Reads bits least significant first; reading past the end yields zero bits
 * and sets `overrun`. */
struct BitReader {
  const uint8_t *data;
  int64_t bitCount; /* bits available */
  int64_t position; /* next bit to read */
  bool overrun;
};

BitReader BitReaderOver(const uint8_t *data, int64_t byteCount);
uint64_t ReadBits(BitReader *reader, int count); /* count <= 64 */
void AlignToByte(BitReader *reader);

/* Writes bits least significant first into a caller buffer of `capacity` bytes. */
struct BitWriter {
  uint8_t *data;
  int64_t capacity; /* bytes */
  int64_t position; /* next bit to write */
  bool overrun;
};

BitWriter BitWriterOver(uint8_t *data, int64_t capacity);
void WriteBits(BitWriter *writer, uint64_t value, int count);
void CopyBits(BitWriter *writer, const uint8_t *source, int64_t bitCount);
int64_t WriterBytes(const BitWriter *writer); /* whole bytes, partial last byte counted */

/* TAK's CRC-24 (polynomial 0x864CFB, initial value 0xB704CE, most significant
 * bit first) over `size` bytes. */
uint32_t Crc24(const uint8_t *data, size_t size);

/* The same CRC, continued over more bytes from a running value. */
constexpr uint32_t kCrc24Initial = 0xB704CEu;
uint32_t Crc24Update(uint32_t crc, const uint8_t *data, size_t size);

/* The CRC-24 stored least significant byte first at `p`. */
uint32_t StoredCrc24(const uint8_t *p);

/* True when the last three of `size` bytes (stored least significant byte
 * first) are the CRC-24 of the bytes before them. */
bool Crc24Trailer(const uint8_t *data, size_t size);

#endif
