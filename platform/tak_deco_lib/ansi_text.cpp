/* UTF-8 to Windows-1252 (see ansi_text.h). 1252 equals Latin-1 except in
 * 0x80-0x9F, where it holds 27 typographic characters and leaves five bytes
 * unassigned; the C1 controls U+0080-U+009F therefore have no 1252 byte. */
#include "ansi_text.h"

namespace {

struct Special {
  uint16_t codePoint;
  uint8_t byte;
};

constexpr Special kSpecials[] = {
    {0x20AC, 0x80}, {0x201A, 0x82}, {0x0192, 0x83}, {0x201E, 0x84}, {0x2026, 0x85},
    {0x2020, 0x86}, {0x2021, 0x87}, {0x02C6, 0x88}, {0x2030, 0x89}, {0x0160, 0x8A},
    {0x2039, 0x8B}, {0x0152, 0x8C}, {0x017D, 0x8E}, {0x2018, 0x91}, {0x2019, 0x92},
    {0x201C, 0x93}, {0x201D, 0x94}, {0x2022, 0x95}, {0x2013, 0x96}, {0x2014, 0x97},
    {0x02DC, 0x98}, {0x2122, 0x99}, {0x0161, 0x9A}, {0x203A, 0x9B}, {0x0153, 0x9C},
    {0x017E, 0x9E}, {0x0178, 0x9F},
};

/* Decodes one UTF-8 character at `p` (`left` > 0 bytes). Sets `used` to the
 * bytes consumed and returns the code point, or -1 for malformed input (then
 * `used` is 1). */
int64_t DecodeUtf8(const uint8_t *p, int64_t left, int64_t *used) {
  *used = 1;
  const uint8_t lead = p[0];
  if (lead < 0x80) return lead;
  int length = 0;
  uint32_t cp = 0;
  if ((lead & 0xE0) == 0xC0) { length = 2; cp = lead & 0x1Fu; }
  else if ((lead & 0xF0) == 0xE0) { length = 3; cp = lead & 0x0Fu; }
  else if ((lead & 0xF8) == 0xF0) { length = 4; cp = lead & 0x07u; }
  else return -1;
  if (left < length) return -1;
  for (int i = 1; i < length; ++i) {
    if ((p[i] & 0xC0) != 0x80) return -1;
    cp = cp << 6 | (p[i] & 0x3Fu);
  }
  const uint32_t minimum[] = {0, 0, 0x80, 0x800, 0x10000};
  if (cp < minimum[length] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return -1;
  *used = length;
  return cp;
}

struct Sink {
  char *out;
  int64_t capacity;
  int64_t length;
};

void Put(Sink *sink, char c) {
  if (sink->out && sink->length < sink->capacity - 1) sink->out[sink->length] = c;
  ++sink->length;
}

}  // namespace

int CodePointToAnsi(uint32_t codePoint) {
  if (codePoint < 0x80 || (codePoint >= 0xA0 && codePoint <= 0xFF)) return int(codePoint);
  for (const Special &s : kSpecials)
    if (s.codePoint == codePoint) return s.byte;
  return -1;
}

int64_t Utf8ToAnsi(const uint8_t *text, int64_t size, int64_t maxChars, char replacement,
                   char *out, int64_t capacity) {
  Sink sink{out, capacity, 0};
  const int64_t limit = maxChars < 0 ? INT64_MAX : maxChars;
  int64_t i = 0;
  while (i < size && sink.length < limit) {
    if (text[i] == 0) {
      if (i + 1 == size) break;
      Put(&sink, ';');
      if (sink.length < limit) Put(&sink, ' ');
      ++i;
      continue;
    }
    int64_t used = 1;
    const int64_t cp = DecodeUtf8(text + i, size - i, &used);
    const int byte = cp < 0 ? -1 : CodePointToAnsi(uint32_t(cp));
    Put(&sink, byte < 0 ? replacement : char(byte));
    i += used;
  }
  if (out && capacity > 0) out[sink.length < capacity - 1 ? sink.length : capacity - 1] = 0;
  return sink.length;
}
