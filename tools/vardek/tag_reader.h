/* Reading the three tag blocks the host hands out (APEv2 capture block, ID3v1,
 * ID3v2) into key/value pairs a person can read. The block sizes are read from
 * the blocks themselves, so `tags` can dump them whole. Pure functions over
 * bytes; info_command and tags_command call them. */
#ifndef VARDEK_TAG_READER_H
#define VARDEK_TAG_READER_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct TagItem {
  std::string key;
  std::string value; /* UTF-8 text, or a note such as "<binary, 12 bytes>" */
};

/* Bytes of a type-6 block: the 32-byte footer copy plus the footer's tag size. */
size_t ApeBlockSize(const uint8_t *block);
/* Bytes of an ID3v2 tag: the 10-byte header plus its synchsafe size. */
size_t Id3v2BlockSize(const uint8_t *block);
constexpr size_t kId3v1Size = 128;

/* The items of a type-6 block (footer copy, items, footer). */
std::vector<TagItem> ReadApeItems(const uint8_t *block, size_t size);
/* Title, artist, album, year, comment, track and genre; empty without "TAG". */
std::vector<TagItem> ReadId3v1Fields(const uint8_t *block);
/* One item per frame, keyed by frame ID; the text frames and COMM decoded. */
std::vector<TagItem> ReadId3v2Frames(const uint8_t *block, size_t size);

/* Latin-1 bytes as UTF-8. */
std::string Latin1ToUtf8(const uint8_t *text, size_t size);

#endif
