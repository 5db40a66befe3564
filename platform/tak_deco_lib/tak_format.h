/* TAK's two self-describing structures: the stream information (found in the
 * STREAMINFO metadata block and repeated in some frame headers) and the frame
 * header (sync word, flags, frame number, optional sample count and stream
 * information, CRC-24). Owns nothing; borrows the caller's bytes. Called by
 * the container parser, the frame locator and the packet builder. */
#ifndef TAK_DECO_TAK_FORMAT_H
#define TAK_DECO_TAK_FORMAT_H

#include <cstdint>

#include "tak_bits.h"

struct TakFormat {
  int codec;          /* 2 mono/stereo, 4 multichannel */
  int frameType;      /* frame duration code */
  int64_t samples;    /* total samples per channel as stated (may be unknown) */
  int dataType;       /* 0 = PCM integer */
  int sampleRate;     /* Hz */
  int bitsPerSample;
  int channels;
  int frameSamples;   /* samples per channel in every frame but the last; <= 0 invalid */
};

/* Frame header flags. */
enum { kFrameIsLast = 1, kFrameHasInfo = 2, kFrameHasMetadata = 4 };

/* The smallest and largest frame header, in bytes, CRC included. */
constexpr int kMinFrameHeaderBytes = 8;
constexpr int kMaxFrameHeaderBytes = 48;

struct FrameHeader {
  int flags;
  int32_t number;      /* frame number, 21 bits */
  int32_t lastSamples; /* samples in this frame when it is the last, else 0 */
  TakFormat info;      /* valid when flags has kFrameHasInfo */
  int64_t infoBit;     /* bit offset of the stream information within the header */
  int64_t infoBits;    /* its length in bits */
  int size;            /* header bytes, CRC included */
};

/* Parses stream information from `reader`; false when the bits run out. */
bool ParseTakFormat(BitReader *reader, TakFormat *out);

/* Samples per frame for a frame duration code at a sample rate, or -1. */
int FrameSamplesFor(int sampleRate, int frameType);

/* True when the stream information describes audio we can decode: integer
 * PCM, 8/16/24 bits, 1 to 6 channels (at most 2 for the mono/stereo codec),
 * a known codec and a valid frame size. */
bool TakFormatDecodable(const TakFormat *format);

/* Parses a frame header at `data` (`available` bytes). True only when the sync
 * word, the layout and the header CRC hold. */
bool ParseFrameHeader(const uint8_t *data, int64_t available, FrameHeader *out);

#endif
