/* `vardek tags FILE --type id3v1|id3v2|ape -o OUT|-`: writes one tag block
 * exactly as the host hands it out, its size read from the block itself. */
#include "commands.h"
#include "output_file.h"
#include "stream_source.h"
#include "tag_reader.h"
#include "text_out.h"

namespace {
struct TagKind {
  const char *name;
  uint32_t type;
};
constexpr TagKind kKinds[] = {{"id3v1", HOST_TAG_ID3}, {"id3v2", HOST_TAG_ID3V2}, {"ape", HOST_TAG_APE}};

size_t BlockSize(uint32_t type, const uint8_t *block) {
  if (type == HOST_TAG_ID3) return kId3v1Size;
  return type == HOST_TAG_ID3V2 ? Id3v2BlockSize(block) : ApeBlockSize(block);
}

bool WriteBlock(const CliOptions &o, const uint8_t *block, size_t size, std::string &error) {
  OutputFile out;
  if (!OutputOpen(o.output, out, error)) return false;
  if (!OutputWrite(out, block, size)) {
    OutputAbandon(out);
    return error = "cannot write " + o.output, false;
  }
  return OutputCommit(out, error);
}
}  // namespace

int RunTags(const CliOptions &o) {
  uint32_t type = 0;
  for (const TagKind &kind : kKinds)
    if (o.tagType == kind.name) type = kind.type;
  StreamSource source;
  std::string error;
  if (!OpenStreamSource(o, BASS_STREAM_DECODE, source, error)) return Fail(error);
  auto block = reinterpret_cast<const uint8_t *>(BASS_ChannelGetTags(source.stream, type));
  bool ok = block != nullptr;
  if (!ok) error = "no " + o.tagType + " tag in " + o.input + ": " + HostErrorText(BASS_ErrorGetCode());
  else ok = WriteBlock(o, block, BlockSize(type, block), error);
  CloseStreamSource(source);
  return ok ? 0 : Fail(error);
}
