/* Turns the host's tag blocks into readable items (see tag_reader.h). Each
 * reader checks every length against the block it was given, so a damaged
 * block yields fewer items, never a read past its end. */
#include "tag_reader.h"

#include <algorithm>
#include <cstring>

namespace {
uint32_t Le32(const uint8_t *p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
uint32_t Be32(const uint8_t *p) {
  return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | uint32_t(p[3]);
}
uint32_t Synchsafe(const uint8_t *p) {
  return uint32_t(p[0] & 0x7F) << 21 | uint32_t(p[1] & 0x7F) << 14 | uint32_t(p[2] & 0x7F) << 7 |
         uint32_t(p[3] & 0x7F);
}

void AppendUtf8(std::string &out, uint32_t c) {
  if (c < 0x80) {
    out += char(c);
  } else if (c < 0x800) {
    out += char(0xC0 | c >> 6), out += char(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += char(0xE0 | c >> 12), out += char(0x80 | (c >> 6 & 0x3F)), out += char(0x80 | (c & 0x3F));
  } else {
    out += char(0xF0 | c >> 18), out += char(0x80 | (c >> 12 & 0x3F));
    out += char(0x80 | (c >> 6 & 0x3F)), out += char(0x80 | (c & 0x3F));
  }
}

std::string Utf16ToUtf8(const uint8_t *p, size_t size, bool bigEndian) {
  std::string out;
  for (size_t i = 0; i + 1 < size; i += 2) {
    uint32_t unit = bigEndian ? uint32_t(p[i]) << 8 | p[i + 1] : uint32_t(p[i + 1]) << 8 | p[i];
    if (unit >= 0xD800 && unit < 0xDC00 && i + 3 < size) {
      uint32_t low = bigEndian ? uint32_t(p[i + 2]) << 8 | p[i + 3] : uint32_t(p[i + 3]) << 8 | p[i + 2];
      unit = 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00);
      i += 2;
    }
    AppendUtf8(out, unit);
  }
  return out;
}

size_t UnitOf(uint8_t encoding) { return (encoding == 1 || encoding == 2) ? 2 : 1; }

/* Where the zero that ends a string in `encoding` starts, or `size`. */
size_t TextEnd(uint8_t encoding, const uint8_t *p, size_t size) {
  size_t unit = UnitOf(encoding);
  for (size_t i = 0; i + unit <= size; i += unit)
    if (p[i] == 0 && (unit == 1 || p[i + 1] == 0)) return i;
  return size;
}

/* One string without its terminator. */
std::string DecodeOne(uint8_t encoding, const uint8_t *p, size_t size) {
  if (encoding == 0) return Latin1ToUtf8(p, size);
  if (encoding == 3) return std::string(reinterpret_cast<const char *>(p), size);
  if (encoding == 1 && size >= 2 && (p[0] == 0xFF || p[0] == 0xFE) && (p[1] ^ p[0]) == 0x01)
    return Utf16ToUtf8(p + 2, size - 2, p[0] == 0xFE);
  return Utf16ToUtf8(p, size, true);
}

/* ID3v2 text in `encoding`; several strings are joined with " / ". */
std::string Id3Text(uint8_t encoding, const uint8_t *p, size_t size) {
  std::string out;
  for (size_t start = 0; start < size;) {
    size_t length = TextEnd(encoding, p + start, size - start);
    if (length && !out.empty()) out += " / ";
    if (length) out += DecodeOne(encoding, p + start, length);
    start += length + UnitOf(encoding);
  }
  return out;
}

std::string FrameValue(const std::string &id, const uint8_t *p, size_t size) {
  if (size == 0) return "";
  uint8_t encoding = p[0];
  if (id == "COMM" && size >= 4) {
    std::string lang(reinterpret_cast<const char *>(p + 1), 3);
    size_t unit = UnitOf(encoding);
    size_t descEnd = TextEnd(encoding, p + 4, size - 4);
    std::string desc = Id3Text(encoding, p + 4, descEnd);
    size_t textStart = std::min(size, 4 + descEnd + unit);
    std::string text = Id3Text(encoding, p + textStart, size - textStart);
    return "[" + lang + (desc.empty() ? "" : " " + desc) + "] " + text;
  }
  if (id[0] == 'T' || id == "WXXX") return Id3Text(encoding, p + 1, size - 1);
  return "<binary, " + std::to_string(size) + " bytes>";
}

std::string Id3v1Text(const uint8_t *p, size_t size) {
  size_t length = 0;
  while (length < size && p[length]) ++length;
  while (length > 0 && p[length - 1] == ' ') --length;
  return Latin1ToUtf8(p, length);
}
}  // namespace

std::string Latin1ToUtf8(const uint8_t *text, size_t size) {
  std::string out;
  for (size_t i = 0; i < size; ++i) AppendUtf8(out, text[i]);
  return out;
}

size_t ApeBlockSize(const uint8_t *block) { return 32 + size_t(Le32(block + 12)); }

size_t Id3v2BlockSize(const uint8_t *block) { return 10 + size_t(Synchsafe(block + 6)); }

std::vector<TagItem> ReadApeItems(const uint8_t *block, size_t size) {
  std::vector<TagItem> items;
  if (size < 64 || std::memcmp(block, "APETAGEX", 8) != 0) return items;
  uint32_t count = Le32(block + 16);
  size_t at = 32, end = size - 32; /* the items lie between the two footers */
  for (uint32_t n = 0; n < count && at + 8 < end; ++n) {
    uint32_t valueSize = Le32(block + at), flags = Le32(block + at + 4);
    size_t keyStart = at + 8, keyEnd = keyStart;
    while (keyEnd < end && block[keyEnd]) ++keyEnd;
    if (keyEnd >= end || valueSize > end - keyEnd - 1) break;
    std::string key(reinterpret_cast<const char *>(block + keyStart), keyEnd - keyStart);
    const uint8_t *value = block + keyEnd + 1;
    bool text = ((flags >> 1) & 3) != 1;
    std::string shown = text ? std::string(reinterpret_cast<const char *>(value), valueSize)
                             : "<binary, " + std::to_string(valueSize) + " bytes>";
    for (char &c : shown) c = c == 0 ? '\n' : c; /* APEv2 lists are zero-separated */
    items.push_back({key, shown});
    at = keyEnd + 1 + valueSize;
  }
  return items;
}

std::vector<TagItem> ReadId3v1Fields(const uint8_t *b) {
  if (std::memcmp(b, "TAG", 3) != 0) return {};
  std::vector<TagItem> items = {
      {"title", Id3v1Text(b + 3, 30)},  {"artist", Id3v1Text(b + 33, 30)},
      {"album", Id3v1Text(b + 63, 30)}, {"year", Id3v1Text(b + 93, 4)},
  };
  bool hasTrack = b[125] == 0 && b[126] != 0; /* ID3v1.1 */
  items.push_back({"comment", Id3v1Text(b + 97, hasTrack || b[125] == 0 ? 28 : 30)});
  items.push_back({"track", hasTrack ? std::to_string(b[126]) : ""});
  items.push_back({"genre", std::to_string(b[127])});
  return items;
}

std::vector<TagItem> ReadId3v2Frames(const uint8_t *block, size_t size) {
  std::vector<TagItem> items;
  if (size < 10 || std::memcmp(block, "ID3", 3) != 0) return items;
  bool v24 = block[3] >= 4;
  size_t at = 10, end = std::min(size, Id3v2BlockSize(block));
  while (at + 10 <= end && block[at] != 0) {
    std::string id(reinterpret_cast<const char *>(block + at), 4);
    size_t frameSize = v24 ? Synchsafe(block + at + 4) : Be32(block + at + 4);
    if (frameSize > end - at - 10) break;
    items.push_back({id, FrameValue(id, block + at + 10, frameSize)});
    at += 10 + frameSize;
  }
  return items;
}
