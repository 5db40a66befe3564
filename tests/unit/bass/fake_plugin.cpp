/* A plug-in double for the host's tests, built into several small libraries
 * (see CMakeLists.txt): it plays "fake" files — a 4-byte magic, a 32-bit
 * sample rate, a 16-bit channel count, then 16-bit samples — through the
 * host's table `_` exactly as a real plug-in would, registers a configuration
 * handler while loaded, and counts live streams and overlapping calls on one
 * stream so tests can see what the host did. */
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "host/host_interface.h"

#ifndef FAKE_MAGIC
#define FAKE_MAGIC "FAKE"
#endif
#ifndef FAKE_VERSION
#define FAKE_VERSION 0x02040000u
#endif
#define FAKE_EXPORT extern "C" __attribute__((visibility("default")))

namespace {
constexpr uint32_t kHeader = 10;
constexpr uint32_t kOption = 0x12300;
std::atomic<int> liveStreams{0};
std::atomic<int> overlaps{0};
uint32_t optionCell = 77;

struct FakeStream {
  HostFile file;
  uint32_t chans;
  uint32_t flags;
  uint64_t dataBytes; /* bytes of 16-bit samples in the file */
  uint64_t position;  /* in 16-bit sample bytes */
  std::atomic<int> busy{0};
};

/* Marks the stream busy for the call; two at once is a host fault. */
struct Busy {
  FakeStream *s;
  explicit Busy(FakeStream *stream) : s(stream) {
    if (s->busy.exchange(1)) overlaps++;
    std::this_thread::sleep_for(std::chrono::microseconds(20)); /* widen the window */
  }
  ~Busy() { s->busy = 0; }
};

uint32_t OutScale(const FakeStream *s) { return (s->flags & 0x100u) ? 2 : 1; }

uint32_t VARDEK_CALL Proc(HostStream, void *buffer, uint32_t length, void *instance) {
  auto *s = static_cast<FakeStream *>(instance);
  Busy busy(s);
  uint32_t frame = s->chans * 2;
  uint64_t want = length / OutScale(s) / frame * frame;
  if (want > s->dataBytes - s->position) want = s->dataBytes - s->position;
  if (want == 0) return HOST_STREAM_END;
  _.FileSeek(s->file, kHeader + s->position);
  uint8_t *raw = static_cast<uint8_t *>(malloc(want));
  uint32_t got = _.FileRead(s->file, raw, uint32_t(want));
  s->position += got;
  if (OutScale(s) == 2) _.IntToFloat(raw, static_cast<float *>(buffer), got / 2, 2);
  else memcpy(buffer, raw, got);
  free(raw);
  return got * OutScale(s);
}

void VARDEK_CALL Release(void *instance) {
  delete static_cast<FakeStream *>(instance);
  liveStreams--;
}

uint64_t VARDEK_CALL Length(void *instance, uint32_t mode) {
  auto *s = static_cast<FakeStream *>(instance);
  Busy busy(s);
  if (mode != 0) return _.ReportError(HOST_ERROR_NOTAVAIL), UINT64_MAX;
  _.ReportError(HOST_OK);
  return s->dataBytes * OutScale(s);
}

const void *VARDEK_CALL Tags(void *, uint32_t type) { return type == 6 ? "fake-tag" : nullptr; }

void VARDEK_CALL Info(void *, HostChannelInfo *info) {
  info->ctype = 0x12345;
  info->origres = 16;
}

HostBool VARDEK_CALL Check(void *instance, uint64_t position, uint32_t) {
  auto *s = static_cast<FakeStream *>(instance);
  if (position < s->dataBytes * OutScale(s)) return _.ReportError(HOST_OK), 1;
  return _.ReportError(HOST_ERROR_POSITION), 0;
}

uint64_t VARDEK_CALL Apply(void *instance, uint64_t position, uint32_t) {
  auto *s = static_cast<FakeStream *>(instance);
  s->position = position / OutScale(s);
  return position;
}

const StreamFunctions kFunctions = {0, Release, Length, Tags, nullptr, Info, Check, Apply,
                                    nullptr, nullptr, nullptr, nullptr, nullptr, nullptr};

[[maybe_unused]] HostStream VARDEK_CALL Create(HostFile file, uint32_t flags) {
  uint8_t header[kHeader] = {};
  if ((_.FileGetFlags(file) & HOST_FILE_REFUSED) || _.FileRead(file, header, kHeader) != kHeader ||
      memcmp(header, FAKE_MAGIC, 4) != 0)
    return _.ReportError(HOST_ERROR_FILEFORM), 0;
  uint32_t rate;
  uint16_t chans;
  memcpy(&rate, header + 4, 4);
  memcpy(&chans, header + 8, 2);
  auto *s = new FakeStream{file, chans, flags & 0x100u, _.FilePosition(file, 2) - kHeader, 0};
  HostStream stream = _.CreateStream(rate, chans, flags & 0x100u, Proc, s, &kFunctions);
  if (!stream) return delete s, 0;
  liveStreams++;
  _.FileBindStream(file, stream);
  _.ReportError(HOST_OK);
  return stream;
}

HostBool VARDEK_CALL Config(uint32_t option, uint32_t flags, void *value) {
  if (option != kOption) return 0;
  if (flags & HOST_CONFIG_SET) optionCell = *static_cast<uint32_t *>(value);
  else *static_cast<uint32_t *>(value) = optionCell;
  return 1;
}

const PluginFormat kFormat = {0x12345, "Fake file", "*.fake"};
[[maybe_unused]] const PluginInfo kInfo = {FAKE_VERSION, 1, &kFormat};

__attribute__((constructor)) void Attach() { _.RegisterConfigHandler(Config, 0); }
__attribute__((destructor)) void Detach() { _.RegisterConfigHandler(Config, 1); }
}  // namespace

#ifndef FAKE_NO_ENTRY
FAKE_EXPORT const void *VARDEK_CALL BASSplugin(uint32_t face) {
  if (face == 0) return &kInfo;
  if (face == 1) return reinterpret_cast<const void *>(&Create);
  return nullptr;
}
#endif

FAKE_EXPORT int FakeLiveStreams() { return liveStreams; }
FAKE_EXPORT int FakeOverlaps() { return overlaps; }
