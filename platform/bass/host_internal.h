/* Declarations shared by the host library's own files and nobody else: the
 * slot functions that host_table.cpp gathers into `_`, the per-thread error
 * code, the host's configuration values, and the stream and file records the
 * channel and plug-in code work on. Files are in data-flow order: error,
 * config, convert, file, stream, channel, plugin, table. */
#ifndef VARDEK_HOST_INTERNAL_H
#define VARDEK_HOST_INTERNAL_H

#include <cstdint>
#include <memory>
#include <mutex>

#include "bass_api.h"

/* ---- host_error.cpp ---- */
void VARDEK_CALL HostReportError(int32_t code);
/* Sets the code and returns `result`, for one-line failure paths. */
template <typename T> T HostFail(int32_t code, T result) {
  HostReportError(code);
  return result;
}

/* ---- host_config.cpp ---- */
void VARDEK_CALL HostRegisterConfigHandler(HostConfigHandler handler, uint32_t mode);
uint32_t HostNetTimeoutMs();
uint32_t HostNetWindowBytes();

/* ---- host_convert.cpp ---- */
void VARDEK_CALL HostIntToFloat(const void *samples, float *out, uint32_t count,
                                uint32_t bytesPerSample);

/* ---- host_file.cpp: the file layer ---- */
HostFile VARDEK_CALL HostFileOpen(HostBool mem, const void *file, uint64_t offset, uint64_t length,
                                  uint32_t flags, uint32_t one);
HostFile VARDEK_CALL HostFileOpenURL(const char *url, uint32_t offset, uint32_t flags,
                                     HostDownloadProc proc, void *user, uint32_t one);
HostFile VARDEK_CALL HostFileOpenUser(uint32_t system, uint32_t flags, const HostFileProcs *procs,
                                      void *user, uint32_t one);
void VARDEK_CALL HostFileClose(HostFile file);
HostBool VARDEK_CALL HostFileBindStream(HostFile file, HostStream stream);
uint32_t VARDEK_CALL HostFileGetFlags(HostFile file);
uint32_t VARDEK_CALL HostFileRead(HostFile file, void *buffer, uint32_t count);
HostBool VARDEK_CALL HostFileSeek(HostFile file, uint64_t offset);
uint64_t VARDEK_CALL HostFilePosition(HostFile file, uint32_t mode);
/* Closes the file whatever binds it: the stream table's free path. */
void HostFileCloseOwned(HostFile file);
/* The name the file was opened by (a path or URL), or empty. */
const char *HostFileName(HostFile file);
uint32_t HostFileCount();

/* ---- host_stream.cpp: the stream table ---- */
struct HostStreamRecord {
  std::mutex lock;            /* held for every operation on the stream */
  uint32_t freq = 0;
  uint32_t chans = 0;
  uint32_t flags = 0;
  HostStreamProc proc = nullptr;
  void *instance = nullptr;
  const StreamFunctions *functions = nullptr;
  HostFile file = 0;          /* bound file, closed with the stream */
  HostPlugin plugin = 0;      /* the plug-in whose dispatch made it, or 0 */
  const void *codeBase = nullptr; /* load address of the library holding `proc` */
  uint64_t position = 0;      /* output bytes delivered since the last position change */
  bool ended = false;
  bool freed = false;         /* set under `lock` when the stream is gone */
};
using StreamRef = std::shared_ptr<HostStreamRecord>;

/* A live stream held under its lock for one operation. */
struct StreamHold {
  StreamRef record;
  std::unique_lock<std::mutex> hold;
};

HostStream VARDEK_CALL HostCreateStream(uint32_t freq, uint32_t chans, uint32_t flags,
                                        HostStreamProc proc, void *instance,
                                        const StreamFunctions *functions);
/* Locks the live stream for one operation; false with HOST_ERROR_HANDLE set
 * when there is no such stream. */
bool HostStreamAcquire(HostStream stream, StreamHold &out);
bool HostStreamBindFile(HostStream stream, HostFile file);
void HostStreamSetPlugin(HostStream stream, HostPlugin plugin);
/* Frees every stream whose procedure lives in the library loaded at `base`. */
void HostStreamFreeFromLibrary(const void *base);
/* Bytes per output sample of a stream with these creation flags. */
uint32_t HostSampleBytes(uint32_t flags);

/* ---- host_plugin.cpp ---- */
/* Offers `file` to the loaded plug-ins in order; closes it when none takes it. */
HostStream HostDispatchFile(HostFile file, uint32_t flags);

#endif
