/* A file read over HTTP(S): the byte source behind the host's FileOpenURL.
 * The host's file layer owns one UrlSource per URL file handle and calls
 * these functions from whatever thread works on that file, never from two
 * threads at once. Positions and lengths count bytes from `offset`, the byte
 * of the resource the file was opened at, so a UrlSource behaves like a file
 * region that starts there. */
#ifndef VARDEK_URL_SOURCE_H
#define VARDEK_URL_SOURCE_H

#include <cstdint>

#include "host/host_interface.h"

struct UrlSource;

struct UrlSourceOptions {
  uint32_t timeoutMs;   /* connect timeout, and the longest a read waits for data */
  uint32_t windowBytes; /* bytes of the file kept in memory at most (0 = a default) */
};

/* Opens `url` from byte `offset` and waits for the response headers. On
 * failure returns null with a host error code in *error (HOST_ERROR_NONET,
 * HOST_ERROR_TIMEOUT, HOST_ERROR_FILEOPEN for an error status, HOST_ERROR_SSL,
 * HOST_ERROR_ILLPARAM for a URL that is not http(s), HOST_ERROR_MEMORY).
 * `proc`, when not null, is called with the body's bytes as they arrive and
 * once more with (null, 0) when the download has ended. */
UrlSource *UrlSourceOpen(const char *url, uint64_t offset, HostDownloadProc proc, void *user,
                         const UrlSourceOptions *options, int32_t *error);

/* Reads up to `count` bytes at the current position, waiting for them to
 * arrive. Returns fewer only at the end of the file, on a failed or
 * dropped download, or when no data came within the timeout. */
uint32_t UrlSourceRead(UrlSource *source, void *buffer, uint32_t count);

/* Moves the current position. False when the position cannot be reached. */
bool UrlSourceSeek(UrlSource *source, uint64_t position);

/* The current position. */
uint64_t UrlSourcePosition(UrlSource *source);

/* The file's length (the resource's size less `offset`), or UINT64_MAX
 * when the server did not say. */
uint64_t UrlSourceLength(UrlSource *source);

/* Bytes downloaded so far, counted from `offset`. */
uint64_t UrlSourceDownloaded(UrlSource *source);

/* Stops the download and frees everything. Null is ignored. */
void UrlSourceClose(UrlSource *source);

#endif
