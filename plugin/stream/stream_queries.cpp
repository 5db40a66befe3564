/* The StreamFunctions slots of a live TAK stream: length, position check and
 * change, channel information and tag lookup, and the shared record naming
 * them. All positions and lengths count bytes of the stream's output frames.
 * Each works on the TakStream it is given and owns nothing; the tag blocks it
 * hands out stay the record's. Called by the host through the record that
 * CreateTakStream passes to CreateStream. */
#include "stream_queries.h"

#include "tak_stream.h"

namespace {

constexpr uint32_t kChannelTypeTak = 0x12000u;
constexpr uint32_t kReportedResolution = 16u;

const TakStream *AsStream(const void *instance) { return static_cast<const TakStream *>(instance); }

uint64_t OutputLength(const TakStream *record) { return record->frames * OutputFrameSize(record); }

}  // namespace

uint64_t VARDEK_CALL QueryLength(void *instance, uint32_t mode) {
  if (mode != 0) {
    _.ReportError(HOST_ERROR_NOTAVAIL);
    return ~uint64_t(0);
  }
  _.ReportError(HOST_OK);
  return OutputLength(AsStream(instance));
}

HostBool VARDEK_CALL CheckPosition(void *instance, uint64_t position, uint32_t mode) {
  if (mode & 0xFFu) {
    _.ReportError(HOST_ERROR_NOTAVAIL);
    return 0;
  }
  _.ReportError(HOST_OK);
  if (position < OutputLength(AsStream(instance))) return 1;
  _.ReportError(HOST_ERROR_POSITION);
  return 0;
}

uint64_t VARDEK_CALL ApplyPosition(void *instance, uint64_t position, uint32_t) {
  const TakStream *record = AsStream(instance);
  tak_SSD_Seek(record->decoder, int64_t(position / OutputFrameSize(record)));
  return position;
}

void VARDEK_CALL QueryInfo(void *instance, HostChannelInfo *info) {
  info->flags |= _.FileGetFlags(AsStream(instance)->file) & HOST_FILE_RESTRATE;
  info->ctype = kChannelTypeTak;
  info->origres = kReportedResolution;
}

const void *VARDEK_CALL QueryTags(void *instance, uint32_t type) {
  const TakStream *record = AsStream(instance);
  switch (type) {
    case HOST_TAG_ID3: return record->id3v1;
    case HOST_TAG_ID3V2: return record->id3v2;
    case HOST_TAG_APE: return record->apeTag;
    default: return nullptr;
  }
}

/* Shared by every stream; the host borrows it for each stream's life. */
const StreamFunctions kTakStreamFunctions = {
    .flags = 0,
    .release = ReleaseStream,
    .length = QueryLength,
    .tags = QueryTags,
    .slot4 = nullptr,
    .info = QueryInfo,
    .checkPosition = CheckPosition,
    .applyPosition = ApplyPosition,
    .slot8 = nullptr,
    .slot9 = nullptr,
    .slot10 = nullptr,
    .slot11 = nullptr,
    .slot12 = nullptr,
    .slot13 = nullptr,
};
