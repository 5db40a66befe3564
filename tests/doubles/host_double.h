/* Control of the recording host double (library vardek_host_double), which
 * stands in for the BASS host: it defines `_` and BASS_GetVersion, serves
 * files from in-memory byte buffers, records every call of the table with
 * its arguments, and can be told to fail. State is global and single
 * threaded; HostDouble_Reset starts a test afresh. Plain C so that the double
 * can also be built as a DLL. */
#ifndef VARDEK_HOST_DOUBLE_H
#define VARDEK_HOST_DOUBLE_H

#include <stdint.h>

#include "double_api.h"
#include "host/host_interface.h"

#ifdef VARDEK_BUILDING_HOST_DOUBLE
#define HOST_DOUBLE_API VARDEK_DOUBLE_EXPORT
#else
#define HOST_DOUBLE_API VARDEK_DOUBLE_IMPORT
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Slot numbers of HostFunctions, as recorded. */
enum {
  HD_REPORT_ERROR = 0,
  HD_REGISTER_CONFIG_HANDLER = 1,
  HD_CREATE_STREAM = 2,
  HD_FILE_OPEN = 10,
  HD_FILE_OPEN_URL = 11,
  HD_FILE_OPEN_USER = 12,
  HD_FILE_CLOSE = 13,
  HD_FILE_BIND_STREAM = 15,
  HD_FILE_GET_FLAGS = 16,
  HD_FILE_READ = 18,
  HD_FILE_SEEK = 19,
  HD_FILE_POSITION = 20,
  HD_INT_TO_FLOAT = 26
};

/* One recorded call: the slot and its arguments in order, each widened to 64
 * bits (pointers as addresses, 32-bit values zero-extended). */
typedef struct HostDoubleCall {
  uint32_t slot;
  uint64_t args[6];
} HostDoubleCall;

/* A stream the double created, as CreateStream was given it. */
typedef struct HostDoubleStream {
  uint32_t freq, chans, flags;
  HostStreamProc proc;
  void *instance;
  const StreamFunctions *functions;
  HostFile boundFile; /* 0 until FileBindStream */
} HostDoubleStream;

/* Forgets every file, stream, call and setting; the version returns to its
 * default 2.4 word. */
HOST_DOUBLE_API void HostDouble_Reset(void);
HOST_DOUBLE_API void HostDouble_SetVersion(uint32_t version);

/* Makes `name` openable by FileOpen (file name) and FileOpenURL (URL). The
 * bytes are borrowed and must outlive the test. */
HOST_DOUBLE_API void HostDouble_AddFile(const char *name, const void *data, uint64_t size);

/* Behaviour switches, all cleared by Reset. */
HOST_DOUBLE_API void HostDouble_FailCreateStream(int32_t error); /* 0 = succeed again */
HOST_DOUBLE_API void HostDouble_SetFileFlags(uint32_t flags);    /* FileGetFlags' answer */
/* The nth FileRead after Reset (1-based; 0 = every read) returns at most
 * maxBytes. */
HOST_DOUBLE_API void HostDouble_LimitRead(uint32_t nth, uint32_t maxBytes);

/* The call log. */
HOST_DOUBLE_API uint32_t HostDouble_CallTotal(void);
HOST_DOUBLE_API int HostDouble_GetCall(uint32_t index, HostDoubleCall *out);
HOST_DOUBLE_API uint32_t HostDouble_CallCount(uint32_t slot);
HOST_DOUBLE_API int HostDouble_LastCall(uint32_t slot, HostDoubleCall *out); /* 0 if none */
HOST_DOUBLE_API int32_t HostDouble_LastError(void); /* -1000 before any ReportError */

/* Files: how many are open, a file's current position, and misuse (closing
 * or reading a handle that is not open). */
HOST_DOUBLE_API uint32_t HostDouble_OpenFiles(void);
HOST_DOUBLE_API uint64_t HostDouble_FilePos(HostFile file);
HOST_DOUBLE_API uint32_t HostDouble_Misuse(void);

/* Streams: what CreateStream was given, and freeing a stream as the host
 * would (release slot, then closing the bound file). */
HOST_DOUBLE_API int HostDouble_GetStream(HostStream stream, HostDoubleStream *out);
HOST_DOUBLE_API void HostDouble_FreeStream(HostStream stream);
HOST_DOUBLE_API uint32_t HostDouble_LiveStreams(void);

#ifdef __cplusplus
}
#endif

#endif
