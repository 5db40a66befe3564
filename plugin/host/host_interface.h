/* The binary interface between the BASS 2.4 host and its plug-ins, as vardek
 * sees it: the host's table of operations (HostFunctions, reached through the
 * host export `_`), the record of stream operations a plug-in hands to
 * CreateStream (StreamFunctions), the plug-in description returned by
 * BASSplugin(0) (PluginInfo/PluginFormat), the channel-information record, the
 * procedure types that cross the boundary, the end marker and the host error
 * codes. This header is the only place these records are declared: the
 * plug-in, the host stand-in under platform/bass and the test doubles all
 * include it. It is plain C so that any host can use it. */
#ifndef VARDEK_HOST_INTERFACE_H
#define VARDEK_HOST_INTERFACE_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Calling convention of every function that crosses a library boundary: the
 * Win32 API convention (stdcall) on 32-bit Windows, the platform default on
 * every other target. */
#if defined(_WIN32) && !defined(_WIN64)
#define VARDEK_CALL __stdcall
#else
#define VARDEK_CALL
#endif

/* Visibility of a library's exported symbols. Each library defines its own
 * VARDEK_BUILDING_xxx macro and uses this for the symbols it defines. */
#if defined(_WIN32)
#define VARDEK_EXPORT __declspec(dllexport)
#define VARDEK_IMPORT __declspec(dllimport)
#else
#define VARDEK_EXPORT __attribute__((visibility("default")))
#define VARDEK_IMPORT
#endif

typedef int32_t HostBool;      /* 0 = false, anything else = true */
typedef uint32_t HostFile;     /* opaque file handle, 0 = none or failure */
typedef uint32_t HostStream;   /* opaque stream handle, 0 = none or failure */

/* ---- host error codes (the code an application reads for the last call) ---- */
enum {
  HOST_OK = 0,
  HOST_ERROR_MEMORY = 1,       /* out of memory */
  HOST_ERROR_FILEOPEN = 2,     /* the file could not be opened */
  HOST_ERROR_HANDLE = 5,       /* not a valid handle */
  HOST_ERROR_POSITION = 7,     /* position beyond the end */
  HOST_ERROR_SSL = 10,         /* TLS is not available or failed */
  HOST_ERROR_ILLTYPE = 19,     /* an illegal type was given */
  HOST_ERROR_ILLPARAM = 20,    /* an illegal parameter was given */
  HOST_ERROR_NONET = 32,       /* no connection could be made */
  HOST_ERROR_NOTAVAIL = 37,    /* the requested data or mode is not available */
  HOST_ERROR_DECODE = 38,      /* the channel is not a decoding channel */
  HOST_ERROR_TIMEOUT = 40,     /* the connection timed out */
  HOST_ERROR_FILEFORM = 41,    /* not a file format that can be played */
  HOST_ERROR_VERSION = 43,     /* the plug-in needs another host version */
  HOST_ERROR_ENDED = 45,       /* the channel has ended */
  HOST_ERROR_PROTOCOL = 48,    /* the server answered with an error or an unusable response */
  HOST_ERROR_UNKNOWN = -1
};

/* The value a stream procedure returns, alone, when the stream has ended. */
#define HOST_STREAM_END 0x80000000u

/* ---- procedures that cross the boundary ---- */

/* A stream's sample procedure: fill `buffer` (`length` bytes) and return the
 * bytes written, or HOST_STREAM_END. */
typedef uint32_t(VARDEK_CALL *HostStreamProc)(HostStream handle, void *buffer, uint32_t length,
                                              void *instance);

/* A configuration handler: `value` points at a 32-bit value. With flags bit
 * HOST_CONFIG_SET the handler stores *value; otherwise it writes the option's
 * value to *value. Returns true when it handled the option. */
typedef HostBool(VARDEK_CALL *HostConfigHandler)(uint32_t option, uint32_t flags, void *value);
#define HOST_CONFIG_SET 0x1u
#define HOST_CONFIG_PTR 0x2u /* the value is a pointer option; vardek serves none */

/* Called with the bytes of a URL download as they arrive, and once more with
 * buffer == NULL and length == 0 when the download has ended. */
typedef void(VARDEK_CALL *HostDownloadProc)(const void *buffer, uint32_t length, void *user);

/* The caller's file procedures for FileOpenUser. */
typedef struct HostFileProcs {
  void(VARDEK_CALL *close)(void *user);
  uint64_t(VARDEK_CALL *length)(void *user);
  uint32_t(VARDEK_CALL *read)(void *buffer, uint32_t length, void *user);
  HostBool(VARDEK_CALL *seek)(uint64_t offset, void *user);
} HostFileProcs;

/* FileOpenUser systems: 0 = no buffering (reads go straight to the caller's
 * procedures); 1 = buffered, 2 = push. */
enum { HOST_FILE_SYSTEM_NOBUFFER = 0, HOST_FILE_SYSTEM_BUFFER = 1, HOST_FILE_SYSTEM_BUFFERPUSH = 2 };

/* FilePosition modes. */
enum { HOST_FILEPOS_CURRENT = 0, HOST_FILEPOS_DOWNLOAD = 1, HOST_FILEPOS_END = 2 };

/* ---- channel information ---- */

/* The record the host reports for a channel. A plug-in completes `flags`,
 * `ctype` and `origres`; the host fills the rest. */
typedef struct HostChannelInfo {
  uint32_t freq;
  uint32_t chans;
  uint32_t flags;
  uint32_t ctype;
  uint32_t origres;
  uint32_t plugin;
  uint32_t sample;
  const char *filename;
} HostChannelInfo;

/* ---- the record of stream operations a plug-in hands to CreateStream ---- */

/* One record may serve every stream of a plug-in; the host keeps the pointer
 * for the stream's life and calls each non-null slot with the stream's
 * instance value. */
typedef struct StreamFunctions {
  uint32_t flags;
  void(VARDEK_CALL *release)(void *instance);                                       /* 1 */
  uint64_t(VARDEK_CALL *length)(void *instance, uint32_t mode);                      /* 2 */
  const void *(VARDEK_CALL *tags)(void *instance, uint32_t type);                   /* 3 */
  void *slot4;                                                                       /* 4 */
  void(VARDEK_CALL *info)(void *instance, HostChannelInfo *info);                    /* 5 */
  HostBool(VARDEK_CALL *checkPosition)(void *instance, uint64_t position, uint32_t mode); /* 6 */
  uint64_t(VARDEK_CALL *applyPosition)(void *instance, uint64_t position, uint32_t mode); /* 7 */
  void *slot8;
  void *slot9;
  void *slot10;
  void *slot11;
  void *slot12;
  void *slot13;
} StreamFunctions;

/* Tag types served through the tags slot. */
enum { HOST_TAG_ID3 = 0, HOST_TAG_ID3V2 = 1, HOST_TAG_APE = 6 };

/* ---- the host's table of operations ---- */

/* The export `_` is the table itself (an object of type HostFunctions), not a
 * pointer to one: a plug-in calls `_.FileRead(...)`. Slots the plug-in does not
 * use are kept as untyped pointers so that the numbering stays visible. */
typedef struct HostFunctions {
  void(VARDEK_CALL *ReportError)(int32_t code);                                    /* 0 */
  void(VARDEK_CALL *RegisterConfigHandler)(HostConfigHandler handler, uint32_t mode); /* 1 */
  HostStream(VARDEK_CALL *CreateStream)(uint32_t freq, uint32_t chans, uint32_t flags,
                                        HostStreamProc proc, void *instance,
                                        const StreamFunctions *functions);           /* 2 */
  void *slot3;
  void *slot4;
  void *slot5;
  void *slot6;
  void *slot7;
  void *slot8;
  void *slot9;
  HostFile(VARDEK_CALL *FileOpen)(HostBool mem, const void *file, uint64_t offset,
                                  uint64_t length, uint32_t flags, uint32_t one);    /* 10 */
  HostFile(VARDEK_CALL *FileOpenURL)(const char *url, uint32_t offset, uint32_t flags,
                                     HostDownloadProc proc, void *user, uint32_t one); /* 11 */
  HostFile(VARDEK_CALL *FileOpenUser)(uint32_t system, uint32_t flags,
                                      const HostFileProcs *procs, void *user,
                                      uint32_t one);                               /* 12 */
  void(VARDEK_CALL *FileClose)(HostFile file);                                      /* 13 */
  void *slot14;
  HostBool(VARDEK_CALL *FileBindStream)(HostFile file, HostStream stream);          /* 15 */
  uint32_t(VARDEK_CALL *FileGetFlags)(HostFile file);                               /* 16 */
  void *slot17;
  uint32_t(VARDEK_CALL *FileRead)(HostFile file, void *buffer, uint32_t count);     /* 18 */
  HostBool(VARDEK_CALL *FileSeek)(HostFile file, uint64_t offset);                  /* 19 */
  uint64_t(VARDEK_CALL *FilePosition)(HostFile file, uint32_t mode);                /* 20 */
  void *slot21;
  void *slot22;
  void *slot23;
  void *slot24;
  void *slot25;
  void(VARDEK_CALL *IntToFloat)(const void *samples, float *out, uint32_t count,
                                uint32_t bytesPerSample);                           /* 26 */
} HostFunctions;

/* FileGetFlags bits the plug-in looks at. */
#define HOST_FILE_REFUSED 0x1u       /* the plug-in must not take this file */
#define HOST_FILE_RESTRATE 0x80000u  /* copied into the channel flags */

/* ---- the plug-in description ---- */

typedef struct PluginFormat {
  uint32_t ctype;
  const char *name;
  const char *exts;
} PluginFormat;

typedef struct PluginInfo {
  uint32_t version;
  uint32_t formatc;
  const PluginFormat *formats;
} PluginInfo;

/* The stream-creation function a plug-in hands out for face 1. */
typedef HostStream(VARDEK_CALL *PluginCreateProc)(HostFile file, uint32_t flags);

/* The plug-in entry: face 0 gives the PluginInfo, face 1 the PluginCreateProc. */
typedef const void *(VARDEK_CALL *PluginEntryProc)(uint32_t face);

/* ---- the host's two exports ---- */

#ifndef VARDEK_HOST_EXPORT
#define VARDEK_HOST_EXPORT VARDEK_IMPORT
#endif
VARDEK_HOST_EXPORT uint32_t VARDEK_CALL BASS_GetVersion(void);
VARDEK_HOST_EXPORT extern const HostFunctions _;

#ifdef __cplusplus
}
#endif

#endif
