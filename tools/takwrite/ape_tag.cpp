/* The tags written after the last frame: an APEv2 tag (optional 32-byte
 * header, the items in the caller's order, the 32-byte footer) and an
 * optional 128-byte ID3v1 tag filled from the APEv2 text items. Can damage
 * the footer on request so that tag readers' error paths get real files.
 * Borrows the caller's items; called by the stream writer and by tests. */
#include <cstdlib>
#include <cstring>
#include <strings.h>

#include "tak_internal.h"

namespace takwrite {

namespace {

constexpr uint32_t kApeVersion = 2000;
constexpr uint32_t kFlagHasHeader = 0x80000000u;
constexpr uint32_t kFlagIsHeader = 0x20000000u;
constexpr uint32_t kItemBinary = 1u << 1;
constexpr size_t kFrameSize = 32;

void put_le32(std::vector<uint8_t> &out, uint32_t v) {
  for (int i = 0; i < 4; ++i)
    out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

void set_le32(std::vector<uint8_t> &out, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i)
    out[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

std::vector<uint8_t> ape_items(const std::vector<ApeItem> &items) {
  std::vector<uint8_t> out;
  for (const ApeItem &item : items) {
    put_le32(out, static_cast<uint32_t>(item.value.size()));
    put_le32(out, item.binary ? kItemBinary : 0);
    out.insert(out.end(), item.key.begin(), item.key.end());
    out.push_back(0);
    out.insert(out.end(), item.value.begin(), item.value.end());
  }
  return out;
}

std::vector<uint8_t> ape_frame(uint32_t tag_size, uint32_t count, uint32_t flags) {
  std::vector<uint8_t> out{'A', 'P', 'E', 'T', 'A', 'G', 'E', 'X'};
  put_le32(out, kApeVersion);
  put_le32(out, tag_size);
  put_le32(out, count);
  put_le32(out, flags);
  out.resize(kFrameSize, 0);
  return out;
}

void damage_footer(std::vector<uint8_t> &footer, BrokenFooter kind, uint64_t whole_file,
                   uint32_t count) {
  switch (kind) {
  case BrokenFooter::none: break;
  case BrokenFooter::preamble: footer[7] = 'x'; break;
  case BrokenFooter::version: set_le32(footer, 8, 1000); break;
  case BrokenFooter::size_zero: set_le32(footer, 12, 0); break;
  case BrokenFooter::size_small: set_le32(footer, 12, 16); break;
  case BrokenFooter::size_huge: set_le32(footer, 12, 0x01000000u); break;
  case BrokenFooter::size_max_ok: set_le32(footer, 12, 0x00FFFFFFu); break;
  case BrokenFooter::size_past_file:
    set_le32(footer, 12, static_cast<uint32_t>(whole_file + 1000)); break;
  case BrokenFooter::count_high: set_le32(footer, 16, count + 1); break;
  case BrokenFooter::truncated: footer.resize(16); break;
  }
}

const ApeItem *find_item(const std::vector<ApeItem> &items, const char *key) {
  for (const ApeItem &item : items)
    if (!item.binary && strcasecmp(item.key.c_str(), key) == 0)
      return &item;
  return nullptr;
}

void copy_field(std::vector<uint8_t> &tag, size_t at, size_t width,
                const std::vector<ApeItem> &items, const char *key) {
  const ApeItem *item = find_item(items, key);
  if (!item)
    return;
  size_t n = item->value.size() < width ? item->value.size() : width;
  std::memcpy(tag.data() + at, item->value.data(), n);
}

std::vector<uint8_t> id3v1_tag(const std::vector<ApeItem> &items) {
  std::vector<uint8_t> tag(128, 0);
  std::memcpy(tag.data(), "TAG", 3);
  copy_field(tag, 3, 30, items, "Title");
  copy_field(tag, 33, 30, items, "Artist");
  copy_field(tag, 63, 30, items, "Album");
  copy_field(tag, 93, 4, items, "Year");
  copy_field(tag, 97, 28, items, "Comment");
  if (const ApeItem *track = find_item(items, "Track")) {
    std::string text(track->value.begin(), track->value.end());
    tag[126] = static_cast<uint8_t>(std::atoi(text.c_str()) & 0xFF);
  }
  tag[127] = 255; /* no genre */
  return tag;
}

} // namespace

std::vector<uint8_t> build_tags(const WriteOptions &options, uint64_t file_bytes_before) {
  std::vector<uint8_t> out;
  if (!options.tags.empty()) {
    std::vector<uint8_t> items = ape_items(options.tags);
    uint32_t count = static_cast<uint32_t>(options.tags.size());
    uint32_t tag_size = static_cast<uint32_t>(items.size() + kFrameSize);
    uint32_t flags = options.ape_header ? kFlagHasHeader : 0;
    if (options.ape_header) {
      std::vector<uint8_t> header = ape_frame(tag_size, count, flags | kFlagIsHeader);
      out.insert(out.end(), header.begin(), header.end());
    }
    out.insert(out.end(), items.begin(), items.end());
    std::vector<uint8_t> footer = ape_frame(tag_size, count, flags);
    damage_footer(footer, options.broken_footer,
                  file_bytes_before + out.size() + kFrameSize, count);
    out.insert(out.end(), footer.begin(), footer.end());
  }
  if (options.id3v1) {
    std::vector<uint8_t> id3 = id3v1_tag(options.tags);
    out.insert(out.end(), id3.begin(), id3.end());
  }
  return out;
}

ApeItem text_item(const std::string &key, const std::string &value) {
  ApeItem item;
  item.key = key;
  item.value.assign(value.begin(), value.end());
  return item;
}

bool parse_broken_footer(const std::string &name, BrokenFooter &kind) {
  static const struct {
    const char *name;
    BrokenFooter kind;
  } kKinds[] = {
      {"preamble", BrokenFooter::preamble},     {"version", BrokenFooter::version},
      {"size-zero", BrokenFooter::size_zero},   {"size-small", BrokenFooter::size_small},
      {"size-huge", BrokenFooter::size_huge},   {"size-max-ok", BrokenFooter::size_max_ok},
      {"size-past-file", BrokenFooter::size_past_file},
      {"count-high", BrokenFooter::count_high}, {"truncated", BrokenFooter::truncated},
  };
  for (const auto &k : kKinds) {
    if (name == k.name) {
      kind = k.kind;
      return true;
    }
  }
  return false;
}

} // namespace takwrite
