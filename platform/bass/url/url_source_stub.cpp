/* Placeholder until HTTP(S) support lands: every URL is refused as not
 * reachable, so the host's FileOpenURL reports a clear error. */
#include "url_source.h"

UrlSource *UrlSourceOpen(const char *, uint64_t, HostDownloadProc, void *, const UrlSourceOptions *,
                         int32_t *error) {
  if (error) *error = HOST_ERROR_NONET;
  return nullptr;
}
uint32_t UrlSourceRead(UrlSource *, void *, uint32_t) { return 0; }
bool UrlSourceSeek(UrlSource *, uint64_t) { return false; }
uint64_t UrlSourcePosition(UrlSource *) { return 0; }
uint64_t UrlSourceLength(UrlSource *) { return UINT64_MAX; }
uint64_t UrlSourceDownloaded(UrlSource *) { return 0; }
void UrlSourceClose(UrlSource *) {}
