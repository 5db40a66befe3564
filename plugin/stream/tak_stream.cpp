/* The TakStream record from birth to release: CreateTakStream vets a file the
 * host offers, opens the decoder over the DecoderIo bridge below, copies the
 * stream's format, has the tag blocks built and registers the stream with the
 * host; ReleaseStream undoes it. The record owns the decoder and the two heap
 * tag blocks; it borrows the host file, which stays its opener's until
 * FileBindStream gives it to the host stream. Called by the host (through
 * BASSplugin's creation function and the release slot) and by the exported
 * constructors. */
#include "tak_stream.h"

#include "../os/process_heap.h"
#include "../tags/ape_capture.h"
#include "../tags/id3_build.h"
#include "sample_delivery.h"
#include "stream_queries.h"

namespace {

/* ---- the decoder's view of the host file ---- */

TakStream *AsStream(void *user) { return static_cast<TakStream *>(user); }

TakBool VARDEK_CALL IoCanRead(void *user) { return user != nullptr; }
TakBool VARDEK_CALL IoCanWrite(void *) { return 0; }
TakBool VARDEK_CALL IoCanSeek(void *user) { return user != nullptr; }

/* Reads at the host file's current position; 0 bytes at the end is still a
 * successful read. */
TakBool VARDEK_CALL IoRead(void *user, void *buffer, int32_t count, int32_t *bytesRead) {
  if (!user) return 0;
  *bytesRead = int32_t(_.FileRead(AsStream(user)->file, buffer, uint32_t(count)));
  return 1;
}

TakBool VARDEK_CALL IoWrite(void *, const void *, int32_t, int32_t *) { return 0; }
TakBool VARDEK_CALL IoFlush(void *) { return 0; }
TakBool VARDEK_CALL IoTruncate(void *) { return 0; }

/* All 64 bits of the offset reach the host, so files past 4 GiB seek where
 * the decoder asks. The host's answer is not passed on: the decoder learns of
 * a bad position from its next read. */
TakBool VARDEK_CALL IoSeek(void *user, int64_t offset) {
  if (!user) return 0;
  _.FileSeek(AsStream(user)->file, uint64_t(offset));
  return 1;
}

TakBool VARDEK_CALL IoGetLength(void *user, int64_t *length) {
  if (!user) return 0;
  *length = int64_t(_.FilePosition(AsStream(user)->file, HOST_FILEPOS_END));
  return 1;
}

/* Damaged stretches come out of the decoder as silence; nothing to do. */
void VARDEK_CALL OnDecoderDamage(void *, int32_t, int64_t, int32_t) {}

/* Shared by every stream; the decoder borrows it for the decoder's life. */
const DecoderIo kDecoderIo = {
    .canRead = IoCanRead,
    .canWrite = IoCanWrite,
    .canSeek = IoCanSeek,
    .read = IoRead,
    .write = IoWrite,
    .flush = IoFlush,
    .truncate = IoTruncate,
    .seek = IoSeek,
    .getLength = IoGetLength,
};

/* Widths the sample procedure can convert; anything else is refused at
 * creation rather than played as garbage. */
bool IsPlayableFormat(const TakStream *record) {
  const uint16_t bits = record->bits;
  return record->channels != 0 && (bits == 8 || bits == 16 || bits == 24 || bits == 32);
}

}  // namespace

int LoadStreamFormat(TakStream *record) {
  if (tak_SSD_Valid(record->decoder) != 1) return -1;
  TakStreamInfo info{};
  if (tak_SSD_GetStreamInfo(record->decoder, &info) != 0) return -1;
  record->channels = uint16_t(info.channels);
  record->bits = uint16_t(info.bitsPerSample);
  record->sampleRate = info.sampleRate;
  record->frames = uint64_t(info.frames);
  if (!IsPlayableFormat(record)) return -1;
  CaptureApeTag(record);
  BuildId3Tags(record);
  return 0;
}

void VARDEK_CALL ReleaseStream(void *instance) {
  TakStream *record = AsStream(instance);
  if (!record) return;
  tak_SSD_Destroy(record->decoder);
  HeapRelease(record->apeTag);
  HeapRelease(record->id3v2);
  HeapRelease(record);
}

HostStream VARDEK_CALL CreateTakStream(HostFile file, uint32_t flags) {
  if (_.FileGetFlags(file) & HOST_FILE_REFUSED) {
    _.ReportError(HOST_ERROR_FILEFORM);
    return 0;
  }
  auto *record = static_cast<TakStream *>(HeapAllocateZeroed(sizeof(TakStream)));
  if (!record) {
    _.ReportError(HOST_ERROR_MEMORY);
    return 0;
  }
  record->file = file;

  const TakDecoderOptions options = {7, 0};
  record->decoder = tak_SSD_Create_FromStream(&kDecoderIo, record, &options, OnDecoderDamage, record);
  if (!record->decoder) {
    HeapRelease(record);
    return 0;
  }
  if (LoadStreamFormat(record) != 0) {
    ReleaseStream(record);
    _.ReportError(HOST_ERROR_FILEFORM);
    return 0;
  }

  const uint32_t masked = flags & kStreamFlagMask;
  record->stream = _.CreateStream(uint32_t(record->sampleRate), record->channels, masked,
                                  TakStreamProc, record, &kTakStreamFunctions);
  if (!record->stream) {
    ReleaseStream(record);
    return 0;
  }
  record->flags = masked;
  _.FileBindStream(file, record->stream);
  _.ReportError(HOST_OK);
  return record->stream;
}
