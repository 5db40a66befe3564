/* `vardek info FILE [--json]`: the stream's format, rate, channels,
 * resolution and length, and its tags (APEv2 items, ID3v1 fields, ID3v2
 * frames) as text for a person or as JSON for scripts. Reads everything
 * through the host's channel calls; the tag blocks are decoded by
 * tag_reader. */
#include <cinttypes>
#include <cstdio>

#include "commands.h"
#include "stream_source.h"
#include "tag_reader.h"
#include "text_out.h"

namespace {
struct StreamFacts {
  HostChannelInfo info{};
  std::string format;
  uint64_t bytes = 0;
  uint64_t frames = 0;
  double seconds = 0;
  bool hasApe = false, hasId3v1 = false, hasId3v2 = false;
  std::vector<TagItem> ape, id3v1, id3v2;
};

std::string FormatName(const PluginInfo *plugin, uint32_t ctype) {
  if (!plugin || plugin->formatc == 0) return "unknown";
  for (uint32_t i = 0; i < plugin->formatc; ++i)
    if (plugin->formats[i].ctype == ctype) return plugin->formats[i].name;
  return plugin->formats[0].name; /* a one-format plug-in may report its own stream type */
}

void ReadTags(HostStream stream, StreamFacts &f) {
  auto block = [stream](uint32_t type) {
    return reinterpret_cast<const uint8_t *>(BASS_ChannelGetTags(stream, type));
  };
  if (const uint8_t *ape = block(HOST_TAG_APE)) f.hasApe = true, f.ape = ReadApeItems(ape, ApeBlockSize(ape));
  if (const uint8_t *v1 = block(HOST_TAG_ID3)) f.id3v1 = ReadId3v1Fields(v1), f.hasId3v1 = !f.id3v1.empty();
  if (const uint8_t *v2 = block(HOST_TAG_ID3V2))
    f.hasId3v2 = true, f.id3v2 = ReadId3v2Frames(v2, Id3v2BlockSize(v2));
}

bool Gather(const StreamSource &s, StreamFacts &f, std::string &error) {
  if (!BASS_ChannelGetInfo(s.stream, &f.info))
    return error = "no channel information: " + HostErrorText(BASS_ErrorGetCode()), false;
  f.format = FormatName(s.info, f.info.ctype);
  f.bytes = BASS_ChannelGetLength(s.stream, BASS_POS_BYTE);
  if (f.bytes == UINT64_MAX) return error = "no length: " + HostErrorText(BASS_ErrorGetCode()), false;
  f.frames = f.bytes / (uint64_t(f.info.chans) * 2);
  f.seconds = BASS_ChannelBytes2Seconds(s.stream, f.bytes);
  ReadTags(s.stream, f);
  return true;
}

void PrintItems(const char *title, bool present, const std::vector<TagItem> &items) {
  std::printf("%s:%s\n", title, present ? "" : " none");
  for (const TagItem &item : items) std::printf("  %-10s %s\n", item.key.c_str(), item.value.c_str());
}

void PrintText(const std::string &file, const StreamFacts &f) {
  std::printf("file:       %s\n", file.c_str());
  std::printf("format:     %s (channel type 0x%" PRIx32 ")\n", f.format.c_str(), f.info.ctype);
  std::printf("rate:       %" PRIu32 " Hz\n", f.info.freq);
  std::printf("channels:   %" PRIu32 "\n", f.info.chans);
  std::printf("resolution: %" PRIu32 " bits\n", f.info.origres);
  std::printf("length:     %" PRIu64 " bytes, %" PRIu64 " frames, %.3f seconds\n", f.bytes, f.frames,
              f.seconds);
  PrintItems("APEv2", f.hasApe, f.ape);
  PrintItems("ID3v1", f.hasId3v1, f.id3v1);
  PrintItems("ID3v2", f.hasId3v2, f.id3v2);
}

std::string JsonItems(bool present, const std::vector<TagItem> &items, bool asObject) {
  if (!present) return "null";
  std::string out = asObject ? "{" : "[";
  for (size_t i = 0; i < items.size(); ++i) {
    if (i) out += ", ";
    if (asObject) out += JsonString(items[i].key) + ": " + JsonString(items[i].value);
    else out += "{\"key\": " + JsonString(items[i].key) + ", \"value\": " + JsonString(items[i].value) + "}";
  }
  return out + (asObject ? "}" : "]");
}

void PrintJson(const std::string &file, const StreamFacts &f) {
  std::printf("{\"file\": %s, \"format\": %s, \"ctype\": %" PRIu32 ", \"rate\": %" PRIu32
              ", \"channels\": %" PRIu32 ", \"resolution\": %" PRIu32 ",\n",
              JsonString(file).c_str(), JsonString(f.format).c_str(), f.info.ctype, f.info.freq,
              f.info.chans, f.info.origres);
  std::printf(" \"length\": {\"bytes\": %" PRIu64 ", \"frames\": %" PRIu64 ", \"seconds\": %.6f},\n",
              f.bytes, f.frames, f.seconds);
  std::printf(" \"tags\": {\"ape\": %s,\n  \"id3v1\": %s,\n  \"id3v2\": %s}}\n",
              JsonItems(f.hasApe, f.ape, false).c_str(), JsonItems(f.hasId3v1, f.id3v1, true).c_str(),
              JsonItems(f.hasId3v2, f.id3v2, false).c_str());
}
}  // namespace

int RunInfo(const CliOptions &o) {
  StreamSource source;
  std::string error;
  if (!OpenStreamSource(o, BASS_STREAM_DECODE, source, error)) return Fail(error);
  StreamFacts facts;
  bool ok = Gather(source, facts, error);
  if (ok && o.json) PrintJson(o.input, facts);
  else if (ok) PrintText(o.input, facts);
  CloseStreamSource(source);
  return ok ? 0 : Fail(error);
}
