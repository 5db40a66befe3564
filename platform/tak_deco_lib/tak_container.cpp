/* TAK container parsing (see tak_container.h). Block types: 0 END, 1
 * STREAMINFO, 2 SEEKTABLE, 3 WAVE data, 4 ENCODER, 5 PADDING, 6 MD5, 7
 * LAST_FRAME (40-bit offset from the first frame, 24-bit size). The type byte's
 * top bit is a flag and not part of the type. */
#include "tak_container.h"

#include <cstring>

namespace {

constexpr int kMaxBlocks = 1024;
enum { kBlockEnd = 0, kBlockStreamInfo = 1, kBlockLastFrame = 7 };

int64_t SynchsafeSize(const uint8_t *p) {
  return int64_t(p[0] & 0x7F) << 21 | int64_t(p[1] & 0x7F) << 14 | int64_t(p[2] & 0x7F) << 7 |
         int64_t(p[3] & 0x7F);
}

bool ReadStreamInfo(const uint8_t *payload, int64_t size, TakContainer *out) {
  if (size < 4 || size - 3 > int64_t(sizeof out->infoRaw) || !Crc24Trailer(payload, size_t(size)))
    return false;
  std::memcpy(out->infoRaw, payload, size_t(size - 3));
  BitReader reader = BitReaderOver(out->infoRaw, size - 3);
  if (!ParseTakFormat(&reader, &out->format)) return false;
  out->infoBitCount = reader.position;
  return true;
}

void ReadLastFrame(const uint8_t *payload, int64_t size, TakContainer *out) {
  if (size != 11 || !Crc24Trailer(payload, 11)) return;
  BitReader reader = BitReaderOver(payload, 8);
  out->lastFrameOffset = int64_t(ReadBits(&reader, 40));
  out->lastFrameSize = int64_t(ReadBits(&reader, 24));
  out->hasLastFrame = true;
}

}  // namespace

int64_t SkipId3v2(const StreamIo *stream) {
  int64_t offset = 0;
  uint8_t head[10];
  while (StreamIoReadAt(stream, offset, head, 10) == 10 && std::memcmp(head, "ID3", 3) == 0 &&
         head[3] != 0xFF && head[4] != 0xFF) {
    offset += 10 + SynchsafeSize(head + 6) + ((head[5] & 0x10) ? 10 : 0);
  }
  return offset;
}

bool ParseTakContainer(const StreamIo *stream, TakContainer *out) {
  *out = TakContainer{};
  int64_t offset = SkipId3v2(stream);
  uint8_t head[4];
  if (StreamIoReadAt(stream, offset, head, 4) != 4 || std::memcmp(head, "tBaK", 4) != 0) return false;
  offset += 4;
  bool haveInfo = false;
  uint8_t payload[64];
  for (int block = 0; block < kMaxBlocks; ++block) {
    if (StreamIoReadAt(stream, offset, head, 4) != 4) return false;
    const int type = head[0] & 0x7F;
    const int64_t size = int64_t(head[1]) | int64_t(head[2]) << 8 | int64_t(head[3]) << 16;
    offset += 4;
    if (type == kBlockEnd) { /* frames follow its 4 bytes, whatever its size says */
      out->dataStart = offset;
      if (out->hasLastFrame) out->lastFrameOffset += out->dataStart;
      return haveInfo;
    }
    if (offset + size > stream->length) return false;
    if ((type == kBlockStreamInfo || type == kBlockLastFrame) && size <= int64_t(sizeof payload)) {
      if (StreamIoReadAt(stream, offset, payload, size) != size) return false;
      if (type == kBlockStreamInfo) haveInfo = ReadStreamInfo(payload, size, out);
      if (type == kBlockLastFrame) ReadLastFrame(payload, size, out);
    }
    offset += size;
  }
  return false;
}
