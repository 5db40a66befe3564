/* Interleaving decoded planes into the library's output PCM: little-endian,
 * 8-bit unsigned, 16-bit signed, or 24-bit signed packed in 3 bytes. Owns
 * nothing; reads the codec's planes and writes the caller's buffer. Called by
 * the frame codec, and by the decoder for silence. */
#ifndef TAK_DECO_PCM_OUTPUT_H
#define TAK_DECO_PCM_OUTPUT_H

#include <cstdint>

/* Planes as libavcodec's TAK decoder gives them: unsigned 8-bit for 8-bit
 * audio, signed 16-bit for 16-bit, and signed 32-bit holding the sample in
 * the top 24 bits for 24-bit audio. */
void InterleavePlanes(const uint8_t *const *planes, int channels, int samples, int bits,
                      uint8_t *out);

/* Writes `samples` frames of silence (0x80 for 8-bit, zero otherwise). */
void WriteSilence(int channels, int samples, int bits, uint8_t *out);

#endif
