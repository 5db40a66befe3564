/* The channel calls of the application API on decode-only streams: pulling
 * samples (BASS_ChannelGetData) through the plug-in's sample procedure, and
 * the length, position, information and tag questions that the plug-in's
 * StreamFunctions answer. Each call holds the stream's lock throughout; the
 * stream table (host_stream.cpp) owns the records. */
#include <algorithm>
#include <vector>

#include "host_internal.h"

namespace {
constexpr uint32_t kDataLengthMask = 0x0FFFFFFFu;
constexpr uint32_t kDataFailed = 0xFFFFFFFFu;

uint32_t FrameBytes(const HostStreamRecord &record) {
  return record.chans * HostSampleBytes(record.flags);
}

/* Calls the sample procedure until `bytes` (whole frames) are filled or the
 * end marker comes. The marker may carry a last count in its low bits. */
uint32_t PullFrames(HostStream handle, HostStreamRecord &record, uint8_t *buffer, uint32_t bytes) {
  bytes -= bytes % FrameBytes(record);
  uint32_t done = 0;
  while (done < bytes && !record.ended) {
    uint32_t got = record.proc(handle, buffer + done, bytes - done, record.instance);
    if (got & HOST_STREAM_END) record.ended = true;
    got = std::min(got & ~HOST_STREAM_END, bytes - done);
    if (got == 0 && !record.ended) break; /* nothing now, but not the end either */
    done += got;
  }
  record.position += done;
  return done;
}

/* A float request on an integer stream: pull the integers, then convert. */
uint32_t PullAsFloat(HostStream handle, HostStreamRecord &record, float *out, uint32_t bytes) {
  uint32_t sampleBytes = HostSampleBytes(record.flags);
  std::vector<uint8_t> integers(size_t(bytes / 4) * sampleBytes);
  uint32_t got = PullFrames(handle, record, integers.data(), uint32_t(integers.size()));
  uint32_t samples = got / sampleBytes;
  HostIntToFloat(integers.data(), out, samples, sampleBytes);
  return samples * 4;
}
}  // namespace

extern "C" uint32_t VARDEK_CALL BASS_ChannelGetData(HostStream stream, void *buffer,
                                                    uint32_t length) {
  StreamHold s;
  if (!HostStreamAcquire(stream, s)) return kDataFailed;
  if (length & ~(kDataLengthMask | BASS_DATA_FLOAT)) return HostFail(HOST_ERROR_NOTAVAIL, kDataFailed);
  if (!buffer) return HostFail(HOST_ERROR_ILLPARAM, kDataFailed);
  HostStreamRecord &record = *s.record;
  if (record.ended) return HostFail(HOST_ERROR_ENDED, kDataFailed);
  uint32_t bytes = length & kDataLengthMask;
  bool convert = (length & BASS_DATA_FLOAT) && HostSampleBytes(record.flags) != 4;
  uint32_t got = convert ? PullAsFloat(stream, record, static_cast<float *>(buffer), bytes)
                         : PullFrames(stream, record, static_cast<uint8_t *>(buffer), bytes);
  if (got == 0 && record.ended) return HostFail(HOST_ERROR_ENDED, kDataFailed);
  return HostFail(HOST_OK, got);
}

extern "C" uint64_t VARDEK_CALL BASS_ChannelGetLength(HostStream stream, uint32_t mode) {
  StreamHold s;
  if (!HostStreamAcquire(stream, s)) return UINT64_MAX;
  const StreamFunctions *functions = s.record->functions;
  if (!functions || !functions->length) return HostFail(HOST_ERROR_NOTAVAIL, UINT64_MAX);
  HostReportError(HOST_OK);
  return functions->length(s.record->instance, mode); /* the plug-in reports its own code */
}

extern "C" uint64_t VARDEK_CALL BASS_ChannelGetPosition(HostStream stream, uint32_t mode) {
  StreamHold s;
  if (!HostStreamAcquire(stream, s)) return UINT64_MAX;
  if ((mode & 0xFFu) != BASS_POS_BYTE) return HostFail(HOST_ERROR_NOTAVAIL, UINT64_MAX);
  return HostFail(HOST_OK, s.record->position);
}

extern "C" HostBool VARDEK_CALL BASS_ChannelSetPosition(HostStream stream, uint64_t pos,
                                                        uint32_t mode) {
  StreamHold s;
  if (!HostStreamAcquire(stream, s)) return 0;
  HostStreamRecord &record = *s.record;
  const StreamFunctions *functions = record.functions;
  if (!functions || !functions->checkPosition || !functions->applyPosition)
    return HostFail(HOST_ERROR_NOTAVAIL, 0);
  HostReportError(HOST_OK);
  if (!functions->checkPosition(record.instance, pos, mode)) {
    if (BASS_ErrorGetCode() == HOST_OK) HostReportError(HOST_ERROR_NOTAVAIL);
    return 0;
  }
  record.position = functions->applyPosition(record.instance, pos, mode);
  record.ended = false;
  return HostFail(HOST_OK, 1);
}

extern "C" HostBool VARDEK_CALL BASS_ChannelGetInfo(HostStream stream, HostChannelInfo *info) {
  StreamHold s;
  if (!HostStreamAcquire(stream, s)) return 0;
  if (!info) return HostFail(HOST_ERROR_ILLPARAM, 0);
  HostStreamRecord &record = *s.record;
  *info = HostChannelInfo{record.freq, record.chans, record.flags, BASS_CTYPE_STREAM, 0,
                          record.plugin, 0, HostFileName(record.file)};
  if (record.functions && record.functions->info) record.functions->info(record.instance, info);
  return HostFail(HOST_OK, 1);
}

extern "C" const char *VARDEK_CALL BASS_ChannelGetTags(HostStream stream, uint32_t tags) {
  StreamHold s;
  if (!HostStreamAcquire(stream, s)) return nullptr;
  const StreamFunctions *functions = s.record->functions;
  const void *block = functions && functions->tags ? functions->tags(s.record->instance, tags)
                                                   : nullptr;
  if (!block) return HostFail(HOST_ERROR_NOTAVAIL, static_cast<const char *>(nullptr));
  return HostFail(HOST_OK, static_cast<const char *>(block));
}

extern "C" double VARDEK_CALL BASS_ChannelBytes2Seconds(HostStream stream, uint64_t pos) {
  StreamHold s;
  if (!HostStreamAcquire(stream, s)) return -1.0;
  uint64_t perSecond = uint64_t(s.record->freq) * FrameBytes(*s.record);
  return HostFail(HOST_OK, double(pos) / double(perSecond));
}
