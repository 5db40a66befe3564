/* A file read over HTTP(S): the byte source behind the host's FileOpenURL.
 * The host's file layer owns one UrlSource per URL file handle and calls
 * these functions from whatever thread works on that file, never from two
 * threads at once. Positions and lengths count bytes from `offset`, the byte
 * of the resource the file was opened at, so a UrlSource behaves like a file
 * region that starts there.
 *
 * Each source runs one transfer thread that downloads into a window of at
 * most `windowBytes` bytes around the read position. A server that accepts
 * range requests serves far seeks with a new ranged request; otherwise the
 * source reads through (forward) or starts again from the top (backward).
 * Connections are direct (no proxy); TLS peers are verified. */
#ifndef VARDEK_URL_SOURCE_H
#define VARDEK_URL_SOURCE_H

#include <cstdint>

#include "host/host_interface.h"

struct UrlSource;

struct UrlSourceOptions {
  uint32_t timeoutMs;   /* connect timeout, the longest a read waits for data, and
                           the longest a transfer may stall before it is given up
                           (0 = a default of 10 s) */
  uint32_t windowBytes; /* bytes of the file kept in memory at most (0 = 1 MiB;
                           values below 64 KiB count as 64 KiB) */
};

/* Opens `url` from byte `offset` and waits for the response headers. On
 * failure returns null with a host error code in *error:
 *   HOST_ERROR_ILLPARAM  the URL is not http(s) or is malformed
 *   HOST_ERROR_NONET     no connection could be made (refused, unresolved, reset)
 *   HOST_ERROR_TIMEOUT   no answer within the timeout
 *   HOST_ERROR_FILEOPEN  the server answered with an error status (404, 500...)
 *   HOST_ERROR_SSL       the TLS handshake or the peer's verification failed
 *   HOST_ERROR_PROTOCOL  an unusable response (not HTTP, bad Content-Range,
 *                        too many redirects)
 *   HOST_ERROR_POSITION  `offset` lies beyond the end of the resource
 *   HOST_ERROR_MEMORY    out of memory
 * `proc`, when not null, is called on the transfer thread with the body's
 * bytes in order from `offset` as they arrive (each byte once, however the
 * reader seeks), and once more with (null, 0) when that download has ended:
 * completed or failed (on the transfer thread), or cut short by
 * UrlSourceClose (from the closing thread, before it returns). It is not
 * called at all when the open fails. */
UrlSource *UrlSourceOpen(const char *url, uint64_t offset, HostDownloadProc proc, void *user,
                         const UrlSourceOptions *options, int32_t *error);

/* Reads up to `count` bytes at the current position, waiting for them to
 * arrive. Returns fewer only at the end of the file, on a failed or
 * dropped download, or when no data came within the timeout. */
uint32_t UrlSourceRead(UrlSource *source, void *buffer, uint32_t count);

/* Moves the current position. False when the position lies beyond a known
 * end; a position that turns out unreachable later yields short reads. */
bool UrlSourceSeek(UrlSource *source, uint64_t position);

/* The current position. */
uint64_t UrlSourcePosition(UrlSource *source);

/* The file's length (the resource's size less `offset`), or UINT64_MAX
 * when the server did not say (it becomes known once the body has ended). */
uint64_t UrlSourceLength(UrlSource *source);

/* Bytes downloaded so far, counted from `offset`: where the buffered data
 * around the current position ends. */
uint64_t UrlSourceDownloaded(UrlSource *source);

/* Stops the download and frees everything. Null is ignored. */
void UrlSourceClose(UrlSource *source);

/* What a source holds, for diagnostics and tests. */
struct UrlSourceStats {
  uint64_t requests;  /* HTTP requests started, the first one included */
  uint64_t held;      /* bytes of the file buffered now */
  uint64_t peakHeld;  /* the most bytes ever buffered at once */
  uint64_t capacity;  /* bytes allocated for the buffer */
  bool rangesAccepted; /* the server serves range requests */
};
void UrlSourceGetStats(UrlSource *source, UrlSourceStats *stats);

#endif
