/* ID3v1 and ID3v2.4 tags (tag types 0 and 1) built from a TAK file's APEv2
 * items. */
#ifndef VARDEK_ID3_BUILD_H
#define VARDEK_ID3_BUILD_H

#include <cstddef>
#include <cstdint>

struct TakStream;

/* Fills record->id3v1 and sets record->id3v2 from the Title, Artist, Album,
 * Year, Comment and Track items the decoder library reports. Never fails the
 * stream: a tag the library does not accept leaves both empty, and an
 * allocation failure leaves no ID3v2 tag and the ID3v1 block as far as it
 * got. */
void BuildId3Tags(TakStream *record);

/* The ID3v1 track number of a Track text: its leading decimal number (after
 * white space, with an optional sign) clamped to the signed 32-bit range,
 * taking the low 8 bits. Reads at most `size` bytes, stopping at a zero. */
uint8_t ParseTrackNumber(const char *text, std::size_t size);

#endif
