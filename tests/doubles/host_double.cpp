/* The recording host double: the table `_` and BASS_GetVersion over a tiny
 * file layer of in-memory buffers (or the caller's procedures for
 * FileOpenUser) and a list of created streams. Every table call is logged
 * with its arguments for the tests to inspect. It owns its bookkeeping only;
 * file bytes are borrowed from the tests. */
#define VARDEK_BUILDING_HOST_DOUBLE
#define VARDEK_HOST_EXPORT VARDEK_EXPORT
#include "host_double.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <string>
#include <vector>

namespace {

constexpr uint32_t kDefaultVersion = 0x02040000u + 17u;
constexpr int32_t kNoError = -1000;

struct FakeFile {
  const uint8_t *data = nullptr;
  uint64_t size = 0;
  uint64_t position = 0;
  const HostFileProcs *procs = nullptr; /* FileOpenUser files read through these */
  void *user = nullptr;
};

struct ReadLimit {
  uint32_t nth, maxBytes;
};

struct State {
  uint32_t version = kDefaultVersion;
  std::map<std::string, std::pair<const uint8_t *, uint64_t>> names;
  std::map<HostFile, FakeFile> files;
  std::map<HostStream, HostDoubleStream> streams;
  std::vector<HostDoubleCall> calls;
  std::vector<ReadLimit> readLimits;
  int32_t lastError = kNoError;
  int32_t failCreateStream = 0;
  uint32_t fileFlags = 0;
  uint32_t reads = 0;
  uint32_t misuse = 0;
  uint32_t nextHandle = 0x100;
};

State &S() {
  static State state;
  return state;
}

uint64_t Arg(uint64_t value) { return value; }
uint64_t Arg(const void *pointer) { return uint64_t(uintptr_t(pointer)); }
uint64_t Arg(const char *text) { return uint64_t(uintptr_t(text)); }
uint64_t Arg(void *pointer) { return uint64_t(uintptr_t(pointer)); }
template <typename F>
uint64_t Arg(F *function) { return uint64_t(uintptr_t(reinterpret_cast<void *>(function))); }

template <typename... A>
void Record(uint32_t slot, A... args) {
  HostDoubleCall call{slot, {}};
  const uint64_t values[] = {Arg(args)...};
  for (std::size_t i = 0; i < sizeof...(A); ++i) call.args[i] = values[i];
  S().calls.push_back(call);
}

FakeFile *Find(HostFile file) {
  auto it = S().files.find(file);
  if (it != S().files.end()) return &it->second;
  ++S().misuse;
  return nullptr;
}

HostFile AddOpenFile(const FakeFile &file) {
  const HostFile handle = S().nextHandle++;
  S().files[handle] = file;
  return handle;
}

/* A view of `size` bytes from `offset` (length 0 = to the end). */
HostFile OpenBytes(const uint8_t *data, uint64_t size, uint64_t offset, uint64_t length) {
  if (offset > size) return 0;
  FakeFile file;
  file.data = data + offset;
  file.size = length ? std::min(length, size - offset) : size - offset;
  return AddOpenFile(file);
}

void VARDEK_CALL ReportError(int32_t code) {
  Record(HD_REPORT_ERROR, uint64_t(uint32_t(code)));
  S().lastError = code;
}

void VARDEK_CALL RegisterConfigHandler(HostConfigHandler handler, uint32_t mode) {
  Record(HD_REGISTER_CONFIG_HANDLER, handler, uint64_t(mode));
}

HostStream VARDEK_CALL CreateStream(uint32_t freq, uint32_t chans, uint32_t flags,
                                    HostStreamProc proc, void *instance,
                                    const StreamFunctions *functions) {
  Record(HD_CREATE_STREAM, uint64_t(freq), uint64_t(chans), uint64_t(flags), proc, instance,
         static_cast<const void *>(functions));
  if (S().failCreateStream) {
    S().lastError = S().failCreateStream;
    return 0;
  }
  const HostStream handle = S().nextHandle++;
  S().streams[handle] = {freq, chans, flags, proc, instance, functions, 0};
  return handle;
}

HostFile VARDEK_CALL FileOpen(HostBool mem, const void *name, uint64_t offset, uint64_t length,
                              uint32_t flags, uint32_t one) {
  Record(HD_FILE_OPEN, uint64_t(uint32_t(mem)), name, offset, length, uint64_t(flags), uint64_t(one));
  if (mem) return OpenBytes(static_cast<const uint8_t *>(name), offset + length, offset, length);
  auto it = S().names.find(static_cast<const char *>(name));
  if (it == S().names.end()) return 0;
  return OpenBytes(it->second.first, it->second.second, offset, length);
}

HostFile VARDEK_CALL FileOpenURL(const char *url, uint32_t offset, uint32_t flags,
                                 HostDownloadProc proc, void *user, uint32_t one) {
  Record(HD_FILE_OPEN_URL, url, uint64_t(offset), uint64_t(flags), proc, user, uint64_t(one));
  auto it = S().names.find(url);
  if (it == S().names.end()) return 0;
  return OpenBytes(it->second.first, it->second.second, offset, 0);
}

HostFile VARDEK_CALL FileOpenUser(uint32_t system, uint32_t flags, const HostFileProcs *procs,
                                  void *user, uint32_t one) {
  Record(HD_FILE_OPEN_USER, uint64_t(system), uint64_t(flags), static_cast<const void *>(procs), user,
         uint64_t(one));
  FakeFile file;
  file.procs = procs;
  file.user = user;
  file.size = procs->length(user);
  return AddOpenFile(file);
}

void VARDEK_CALL FileClose(HostFile file) {
  Record(HD_FILE_CLOSE, uint64_t(file));
  FakeFile *open = Find(file);
  if (!open) return;
  if (open->procs) open->procs->close(open->user);
  S().files.erase(file);
}

HostBool VARDEK_CALL FileBindStream(HostFile file, HostStream stream) {
  Record(HD_FILE_BIND_STREAM, uint64_t(file), uint64_t(stream));
  auto it = S().streams.find(stream);
  if (!Find(file) || it == S().streams.end()) return 0;
  it->second.boundFile = file;
  return 1;
}

uint32_t VARDEK_CALL FileGetFlags(HostFile file) {
  Record(HD_FILE_GET_FLAGS, uint64_t(file));
  return S().fileFlags;
}

uint32_t LimitFor(uint32_t readNumber, uint32_t count) {
  for (const ReadLimit &limit : S().readLimits) {
    if ((limit.nth == 0 || limit.nth == readNumber) && limit.maxBytes < count) count = limit.maxBytes;
  }
  return count;
}

uint32_t VARDEK_CALL FileRead(HostFile file, void *buffer, uint32_t count) {
  Record(HD_FILE_READ, uint64_t(file), buffer, uint64_t(count));
  FakeFile *open = Find(file);
  if (!open) return 0;
  count = LimitFor(++S().reads, count);
  if (open->procs) {
    const uint32_t got = open->procs->read(buffer, count, open->user);
    open->position += got;
    return got;
  }
  const uint64_t left = open->position < open->size ? open->size - open->position : 0;
  const uint32_t got = uint32_t(std::min<uint64_t>(left, count));
  if (got) std::memcpy(buffer, open->data + open->position, got);
  open->position += got;
  return got;
}

HostBool VARDEK_CALL FileSeek(HostFile file, uint64_t offset) {
  Record(HD_FILE_SEEK, uint64_t(file), offset);
  FakeFile *open = Find(file);
  if (!open || offset > open->size) return 0;
  if (open->procs && !open->procs->seek(offset, open->user)) return 0;
  open->position = offset;
  return 1;
}

uint64_t VARDEK_CALL FilePosition(HostFile file, uint32_t mode) {
  Record(HD_FILE_POSITION, uint64_t(file), uint64_t(mode));
  FakeFile *open = Find(file);
  if (!open) return ~uint64_t(0);
  return mode == HOST_FILEPOS_CURRENT ? open->position : open->size;
}

/* Full scale maps to +-1.0: 8-bit unsigned with bias 128, wider signed. */
void VARDEK_CALL IntToFloat(const void *samples, float *out, uint32_t count, uint32_t bytes) {
  Record(HD_INT_TO_FLOAT, samples, static_cast<const void *>(out), uint64_t(count), uint64_t(bytes));
  const uint8_t *in = static_cast<const uint8_t *>(samples);
  const double scale = 1.0 / double(uint64_t(1) << (8 * bytes - 1));
  for (uint32_t i = 0; i < count; ++i, in += bytes) {
    uint32_t raw = 0;
    for (uint32_t b = 0; b < bytes; ++b) raw |= uint32_t(in[b]) << (8 * b);
    const uint32_t shift = 32 - 8 * bytes;
    const int32_t value = bytes == 1 ? int32_t(raw) - 128 : int32_t(raw << shift) >> shift;
    out[i] = float(value * scale);
  }
}

}  // namespace

extern "C" {

const HostFunctions _ = {
    .ReportError = ReportError,
    .RegisterConfigHandler = RegisterConfigHandler,
    .CreateStream = CreateStream,
    .slot3 = nullptr, .slot4 = nullptr, .slot5 = nullptr, .slot6 = nullptr,
    .slot7 = nullptr, .slot8 = nullptr, .slot9 = nullptr,
    .FileOpen = FileOpen,
    .FileOpenURL = FileOpenURL,
    .FileOpenUser = FileOpenUser,
    .FileClose = FileClose,
    .slot14 = nullptr,
    .FileBindStream = FileBindStream,
    .FileGetFlags = FileGetFlags,
    .slot17 = nullptr,
    .FileRead = FileRead,
    .FileSeek = FileSeek,
    .FilePosition = FilePosition,
    .slot21 = nullptr, .slot22 = nullptr, .slot23 = nullptr, .slot24 = nullptr,
    .slot25 = nullptr,
    .IntToFloat = IntToFloat,
};

uint32_t VARDEK_CALL BASS_GetVersion(void) { return S().version; }

void HostDouble_Reset(void) { S() = State{}; }
void HostDouble_SetVersion(uint32_t version) { S().version = version; }
void HostDouble_AddFile(const char *name, const void *data, uint64_t size) {
  S().names[name] = {static_cast<const uint8_t *>(data), size};
}
void HostDouble_FailCreateStream(int32_t error) { S().failCreateStream = error; }
void HostDouble_SetFileFlags(uint32_t flags) { S().fileFlags = flags; }
void HostDouble_LimitRead(uint32_t nth, uint32_t maxBytes) { S().readLimits.push_back({nth, maxBytes}); }

uint32_t HostDouble_CallTotal(void) { return uint32_t(S().calls.size()); }
int HostDouble_GetCall(uint32_t index, HostDoubleCall *out) {
  if (index >= S().calls.size()) return 0;
  *out = S().calls[index];
  return 1;
}
uint32_t HostDouble_CallCount(uint32_t slot) {
  uint32_t count = 0;
  for (const HostDoubleCall &call : S().calls) count += call.slot == slot;
  return count;
}
int HostDouble_LastCall(uint32_t slot, HostDoubleCall *out) {
  for (auto it = S().calls.rbegin(); it != S().calls.rend(); ++it) {
    if (it->slot == slot) {
      *out = *it;
      return 1;
    }
  }
  return 0;
}
int32_t HostDouble_LastError(void) { return S().lastError; }

uint32_t HostDouble_OpenFiles(void) { return uint32_t(S().files.size()); }
uint64_t HostDouble_FilePos(HostFile file) {
  auto it = S().files.find(file);
  return it == S().files.end() ? ~uint64_t(0) : it->second.position;
}
uint32_t HostDouble_Misuse(void) { return S().misuse; }

int HostDouble_GetStream(HostStream stream, HostDoubleStream *out) {
  auto it = S().streams.find(stream);
  if (it == S().streams.end()) return 0;
  *out = it->second;
  return 1;
}
void HostDouble_FreeStream(HostStream stream) {
  auto it = S().streams.find(stream);
  if (it == S().streams.end()) {
    ++S().misuse;
    return;
  }
  const HostDoubleStream freed = it->second;
  S().streams.erase(it);
  if (freed.functions && freed.functions->release) freed.functions->release(freed.instance);
  if (freed.boundFile) S().files.erase(freed.boundFile);
}
uint32_t HostDouble_LiveStreams(void) { return uint32_t(S().streams.size()); }

}  // extern "C"
