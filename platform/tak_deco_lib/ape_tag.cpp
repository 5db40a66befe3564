/* APEv2 tag reader (see ape_tag.h). The footer (32 bytes: "APETAGEX",
 * version, tag size = items + footer, item count, flags, 8 reserved) sits at
 * the end of the stream or just before an ID3v1 tag. Version 2000 may add a
 * header of the same shape before the items (flag bit 31 "has header", bit 29
 * "this is the header"); version 1000 has none. Each item: value size (4),
 * flags (4), key up to a NUL, value bytes. All numbers little-endian. */
#include "ape_tag.h"

#include <cstdlib>
#include <cstring>

namespace {

constexpr int kFooterBytes = 32;
constexpr int kId3v1Bytes = 128;
constexpr uint32_t kHasHeader = 1u << 31;
constexpr uint32_t kIsHeader = 1u << 29;

uint32_t Le32(const uint8_t *p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

struct ApeFooter {
  uint32_t version, tagSize, count, flags;
};

bool ReadFooter(const uint8_t *p, ApeFooter *out) {
  if (std::memcmp(p, "APETAGEX", 8) != 0) return false;
  *out = ApeFooter{Le32(p + 8), Le32(p + 12), Le32(p + 16), Le32(p + 20)};
  return out->version == 1000 || out->version == 2000;
}

/* True when the 32 bytes before `end` start with the APEv2 preamble. */
bool FooterEndsAt(const StreamIo *stream, int64_t end) {
  uint8_t probe[8];
  return end >= kFooterBytes && StreamIoReadAt(stream, end - kFooterBytes, probe, 8) == 8 &&
         std::memcmp(probe, "APETAGEX", 8) == 0;
}

/* Offset of the footer: at the end, or before a trailing ID3v1 tag; -1 if none. */
int64_t FindFooter(const StreamIo *stream) {
  if (FooterEndsAt(stream, stream->length)) return stream->length - kFooterBytes;
  const int64_t id3 = Id3v1Start(stream);
  if (id3 != stream->length && FooterEndsAt(stream, id3)) return id3 - kFooterBytes;
  return -1;
}

/* Parses one item at `p` (`left` bytes). Returns its length in bytes, or 0. */
int64_t ParseItem(const uint8_t *p, int64_t left, uint32_t version, ApeItem *item) {
  if (left < 9) return 0;
  const uint32_t size = Le32(p);
  const uint32_t flags = Le32(p + 4);
  const auto *keyEnd = static_cast<const uint8_t *>(std::memchr(p + 8, 0, size_t(left - 8)));
  if (!keyEnd || keyEnd == p + 8) return 0;
  const int64_t keyLength = keyEnd - (p + 8);
  const int64_t used = 8 + keyLength + 1;
  if (int64_t(size) > left - used) return 0;
  item->key = static_cast<char *>(std::malloc(size_t(keyLength + 1)));
  item->value = static_cast<uint8_t *>(std::malloc(size ? size : 1));
  if (!item->key || !item->value) return -1;
  std::memcpy(item->key, p + 8, size_t(keyLength + 1));
  std::memcpy(item->value, p + used, size);
  item->size = size;
  item->kind = version == 1000 ? kApeText : int((flags >> 1) & 3u);
  return used + size;
}

}  // namespace

int64_t Id3v1Start(const StreamIo *stream) {
  uint8_t magic[3];
  if (stream->length < kId3v1Bytes) return stream->length;
  const int64_t at = stream->length - kId3v1Bytes;
  if (StreamIoReadAt(stream, at, magic, 3) != 3 || std::memcmp(magic, "TAG", 3) != 0)
    return stream->length;
  return at;
}

bool ParseApeTag(const uint8_t *bytes, int64_t size, int64_t base, TakApeTag *tag) {
  ApeFooter footer{};
  if (size < kFooterBytes || !ReadFooter(bytes + size - kFooterBytes, &footer)) return true;
  if ((footer.flags & kIsHeader) || footer.tagSize < kFooterBytes || footer.tagSize > size)
    return true;
  const bool header = footer.version == 2000 && (footer.flags & kHasHeader);
  const int64_t itemsAt = size - footer.tagSize;
  if (header) {
    ApeFooter head{};
    if (itemsAt < kFooterBytes || !ReadFooter(bytes + itemsAt - kFooterBytes, &head) ||
        !(head.flags & kIsHeader) || head.tagSize != footer.tagSize || head.count != footer.count)
      return true;
  }
  const int64_t itemBytes = footer.tagSize - kFooterBytes;
  if (footer.count > uint64_t(itemBytes) / 9) return true;
  tag->items = static_cast<ApeItem *>(std::calloc(footer.count ? footer.count : 1, sizeof(ApeItem)));
  if (!tag->items) return false;
  const uint8_t *p = bytes + itemsAt;
  int64_t left = itemBytes;
  for (uint32_t i = 0; i < footer.count; ++i) {
    tag->count = int32_t(i + 1);
    const int64_t used = ParseItem(p, left, footer.version, &tag->items[i]);
    if (used <= 0) {
      FreeApeTag(tag);
      return used == 0; /* a malformed item: no tag; out of memory: failure */
    }
    p += used;
    left -= used;
  }
  tag->count = int32_t(footer.count);
  tag->start = base + itemsAt - (header ? kFooterBytes : 0);
  tag->end = base + size;
  tag->valid = 1;
  return true;
}

bool ReadApeTag(const StreamIo *stream, TakApeTag *tag) {
  const int64_t footerAt = FindFooter(stream);
  if (footerAt < 0) return true;
  uint8_t raw[kFooterBytes];
  ApeFooter footer{};
  if (StreamIoReadAt(stream, footerAt, raw, kFooterBytes) != kFooterBytes || !ReadFooter(raw, &footer))
    return true;
  if (footer.tagSize < kFooterBytes || footer.tagSize > kApeMaxTagBytes) return true;
  const bool header = footer.version == 2000 && (footer.flags & kHasHeader);
  const int64_t total = int64_t(footer.tagSize) + (header ? kFooterBytes : 0);
  const int64_t end = footerAt + kFooterBytes;
  if (total > end) return true;
  auto *bytes = static_cast<uint8_t *>(std::malloc(size_t(total)));
  if (!bytes) return false;
  bool ok = true;
  if (StreamIoReadAt(stream, end - total, bytes, total) == total)
    ok = ParseApeTag(bytes, total, end - total, tag);
  std::free(bytes);
  return ok;
}

void FreeApeTag(TakApeTag *tag) {
  for (int32_t i = 0; tag->items && i < tag->count; ++i) {
    std::free(tag->items[i].key);
    std::free(tag->items[i].value);
  }
  std::free(tag->items);
  *tag = TakApeTag{};
}
