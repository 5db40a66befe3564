/* The APEv2 tag reader: finds the tag at the end of the stream (or just
 * before a trailing 128-byte ID3v1 tag), checks every size against the tag and
 * the stream, and keeps the items in file order. Owns the TakApeTag record and
 * its items; borrows the StreamIo it reads through (only while reading). Called
 * by the decoder at open; the exported tak_APE_ operations read the result. */
#ifndef TAK_DECO_APE_TAG_H
#define TAK_DECO_APE_TAG_H

#include <cstdint>

#include "stream_io.h"

/* Item kinds, from bits 1-2 of an item's flags (APE 2.0; 1.0 items are text). */
enum { kApeText = 0, kApeBinary = 1, kApeLink = 2, kApeReserved = 3 };

struct ApeItem {
  char *key;      /* owned, NUL-terminated, exactly as stored */
  uint8_t *value; /* owned, `size` bytes (not terminated) */
  uint32_t size;
  int kind;
};

struct TakApeTag {
  int32_t valid;  /* 1 when a tag was found and passed every check */
  int32_t count;
  ApeItem *items; /* owned, `count` items */
  int64_t start;  /* stream offset where the tag (header or first item) begins */
  int64_t end;    /* stream offset just past its footer */
};

/* Tags larger than this are refused as implausible. */
constexpr uint32_t kApeMaxTagBytes = 64u * 1024u * 1024u;

/* Reads the tag of `stream` into `tag` (which must be zeroed). Leaves
 * valid = 0 and no items when there is none or any check fails; false only
 * when memory ran out. */
bool ReadApeTag(const StreamIo *stream, TakApeTag *tag);

/* Parses a tag whose footer is the last 32 bytes of `bytes` (the whole tag
 * region, header included when there is one). `base` is the stream offset of
 * bytes[0]. Exposed for the reader and its tests. */
bool ParseApeTag(const uint8_t *bytes, int64_t size, int64_t base, TakApeTag *tag);

/* Offset where the ID3v1 tag starts, or the stream length when there is none. */
int64_t Id3v1Start(const StreamIo *stream);

/* Frees the items and clears the record. */
void FreeApeTag(TakApeTag *tag);

#endif
