/* The application side of the host library (libbass): what a program calls to
 * load plug-ins, open decode-only streams from files, memory, its own file
 * procedures or URLs, pull their samples and ask about them. Plug-ins use the
 * other side, the table `_` of host_interface.h. Every call sets the calling
 * thread's error code (BASS_ErrorGetCode): 0 on success, a HOST_ERROR_* code
 * otherwise. Handles are 32-bit values; 0 means none or failure. Decode-only:
 * there is no output device, every stream is read with BASS_ChannelGetData. */
#ifndef VARDEK_BASS_API_H
#define VARDEK_BASS_API_H

#include <stdint.h>

#include "host/host_interface.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef uint32_t HostPlugin; /* a loaded plug-in, 0 = none */

/* Stream creation flags the host itself interprets. */
#define BASS_SAMPLE_8BITS 0x1u       /* 8-bit unsigned output */
#define BASS_SAMPLE_FLOAT 0x100u     /* 32-bit float output */
#define BASS_STREAM_BLOCK 0x100000u  /* the file is read front to back only (no seeking) */
#define BASS_STREAM_DECODE 0x200000u /* a decoding channel (every stream here is one) */

/* BASS_ChannelGetData: flag ORed into the length to ask for 32-bit floats. */
#define BASS_DATA_FLOAT 0x40000000u

/* Position and length modes. */
#define BASS_POS_BYTE 0u

/* The host's own configuration options. Other option numbers go to the
 * configuration handlers that plug-ins register. */
#define BASS_CONFIG_NET_TIMEOUT 11u  /* network connect/read timeout in ms (default 5000) */
#define BASS_CONFIG_NET_WINDOW 12u   /* bytes of a URL file kept in memory at most (0 = default) */

/* Channel type of a stream whose plug-in does not say otherwise. */
#define BASS_CTYPE_STREAM 0x10000u

#define BASS_PLUGIN_VERSION_MASK 0xFFFF0000u

/* ---- errors, version, configuration ---- */
VARDEK_HOST_EXPORT int32_t VARDEK_CALL BASS_ErrorGetCode(void);
/* A short English text for an error code ("not a file format that can be played"). */
VARDEK_HOST_EXPORT const char *VARDEK_CALL BASS_ErrorGetText(int32_t code);
VARDEK_HOST_EXPORT HostBool VARDEK_CALL BASS_SetConfig(uint32_t option, uint32_t value);
/* The option's value, or 0xFFFFFFFF with HOST_ERROR_ILLPARAM when nobody serves it. */
VARDEK_HOST_EXPORT uint32_t VARDEK_CALL BASS_GetConfig(uint32_t option);

/* ---- plug-ins ---- */
/* Loads a plug-in library (its BASSplugin entry). Loading the same library
 * again gives the handle it already has. */
VARDEK_HOST_EXPORT HostPlugin VARDEK_CALL BASS_PluginLoad(const char *file, uint32_t flags);
/* Frees the plug-in and every stream it made; 0 frees all plug-ins. */
VARDEK_HOST_EXPORT HostBool VARDEK_CALL BASS_PluginFree(HostPlugin plugin);
/* The plug-in's PluginInfo (face 0), valid while it is loaded. */
VARDEK_HOST_EXPORT const PluginInfo *VARDEK_CALL BASS_PluginGetInfo(HostPlugin plugin);

/* ---- streams: each offers the opened file to the loaded plug-ins in load
 * order; when none accepts it, 0 with HOST_ERROR_FILEFORM and the file closed ---- */
/* A file name (mem = 0) or a memory block (mem != 0). The region read starts
 * at `offset` and is `length` bytes long (0 = to the end of the file; a memory
 * block needs its length). */
VARDEK_HOST_EXPORT HostStream VARDEK_CALL BASS_StreamCreateFile(HostBool mem, const void *file,
                                                                uint64_t offset, uint64_t length,
                                                                uint32_t flags);
VARDEK_HOST_EXPORT HostStream VARDEK_CALL BASS_StreamCreateURL(const char *url, uint32_t offset,
                                                               uint32_t flags,
                                                               HostDownloadProc proc, void *user);
/* Only system HOST_FILE_SYSTEM_NOBUFFER is available. */
VARDEK_HOST_EXPORT HostStream VARDEK_CALL BASS_StreamCreateFileUser(uint32_t system,
                                                                    uint32_t flags,
                                                                    const HostFileProcs *procs,
                                                                    void *user);
/* Calls the plug-in's release, then closes the stream's file. */
VARDEK_HOST_EXPORT HostBool VARDEK_CALL BASS_StreamFree(HostStream stream);

/* ---- channels ---- */
/* Fills `buffer` with up to `length` bytes (whole output frames; OR in
 * BASS_DATA_FLOAT for floats). Returns the bytes written, or 0xFFFFFFFF with
 * HOST_ERROR_ENDED once the stream has ended. */
VARDEK_HOST_EXPORT uint32_t VARDEK_CALL BASS_ChannelGetData(HostStream stream, void *buffer,
                                                            uint32_t length);
/* Bytes of output, or UINT64_MAX with the reason. */
VARDEK_HOST_EXPORT uint64_t VARDEK_CALL BASS_ChannelGetLength(HostStream stream, uint32_t mode);
VARDEK_HOST_EXPORT uint64_t VARDEK_CALL BASS_ChannelGetPosition(HostStream stream, uint32_t mode);
VARDEK_HOST_EXPORT HostBool VARDEK_CALL BASS_ChannelSetPosition(HostStream stream, uint64_t pos,
                                                                uint32_t mode);
/* The host fills every field (filename: the path or URL, null for memory and
 * user files, valid while the stream lives), then the plug-in completes it. */
VARDEK_HOST_EXPORT HostBool VARDEK_CALL BASS_ChannelGetInfo(HostStream stream,
                                                            HostChannelInfo *info);
/* The plug-in's tag block of `tags` type, or null with HOST_ERROR_NOTAVAIL. */
VARDEK_HOST_EXPORT const char *VARDEK_CALL BASS_ChannelGetTags(HostStream stream, uint32_t tags);
/* Seconds of output that `pos` bytes make, or a negative value for a bad handle. */
VARDEK_HOST_EXPORT double VARDEK_CALL BASS_ChannelBytes2Seconds(HostStream stream, uint64_t pos);

/* ---- diagnostics ---- */
/* Host files open right now (bound to a stream or not). */
VARDEK_HOST_EXPORT uint32_t VARDEK_CALL BASS_GetOpenFileCount(void);

#ifdef __cplusplus
}
#endif

#endif
