/* APEv2 tag capture: reads the footer in the last 32 bytes of the file through
 * the host's file layer and, when it is an APEv2 footer, keeps a copy of it
 * followed by the file's last tag-size bytes (the items and the footer again)
 * as the stream's capture block. The block is heap memory owned by the
 * TakStream; the file is borrowed. Called once per stream by LoadStreamFormat,
 * before BuildId3Tags. A capture that succeeds, or that gets as far as
 * allocating, leaves the file at offset 0; an earlier refusal leaves it where
 * the footer read ended. The decoder seeks before it reads, so either is
 * fine. */
#include "ape_capture.h"

#include <cstring>

#include "../os/process_heap.h"
#include "../stream/tak_stream.h"

namespace {

uint32_t ReadLe32(const uint8_t *bytes) {
  return uint32_t(bytes[0]) | uint32_t(bytes[1]) << 8 | uint32_t(bytes[2]) << 16 |
         uint32_t(bytes[3]) << 24;
}

/* The tag size of a whole APEv2 footer that fits the file, or 0 with false. */
bool UsableTagSize(const uint8_t *footer, uint64_t fileLength, uint32_t *tagSize) {
  if (std::memcmp(footer, "APETAGEX", 8) != 0) return false;
  *tagSize = ReadLe32(footer + 12);
  return *tagSize < kApeTagSizeLimit && *tagSize <= fileLength;
}

/* A capture block of footer + the file's last `tagSize` bytes, or null. */
uint8_t *ReadCaptureBlock(HostFile file, uint64_t fileLength, const uint8_t *footer,
                          uint32_t tagSize) {
  auto *block = static_cast<uint8_t *>(HeapAllocate(kApeFooterSize + std::size_t(tagSize)));
  if (!block) return nullptr;
  std::memcpy(block, footer, kApeFooterSize);
  _.FileSeek(file, fileLength - tagSize);
  if (_.FileRead(file, block + kApeFooterSize, tagSize) != tagSize) {
    HeapRelease(block);
    return nullptr;
  }
  return block;
}

}  // namespace

void CaptureApeTag(TakStream *record) {
  const HostFile file = record->file;
  const uint64_t fileLength = _.FilePosition(file, HOST_FILEPOS_END);
  if (fileLength < kApeFooterSize) return;

  uint8_t footer[kApeFooterSize];
  _.FileSeek(file, fileLength - kApeFooterSize);
  if (_.FileRead(file, footer, kApeFooterSize) != kApeFooterSize) return;
  uint32_t tagSize = 0;
  if (!UsableTagSize(footer, fileLength, &tagSize)) return;

  record->apeTag = ReadCaptureBlock(file, fileLength, footer, tagSize);
  _.FileSeek(file, 0);
}
