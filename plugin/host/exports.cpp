/* The exported constructors (see exports.h). Owns nothing: the file handle
 * belongs to the constructor only until CreateTakStream binds it to a stream,
 * and is closed here when that fails. Borrows the host's open operations,
 * FileClose and ReportError from `_`, CreateTakStream from stream/ and
 * PluginIsReady from plugin_entry. The caller's flags go to the open operation
 * and to CreateTakStream unmasked; CreateTakStream masks them itself. */
#include "exports.h"

#include "../stream/tak_stream.h"
#include "plugin_entry.h"

namespace {

/* An inert plug-in (refused host version) opens nothing. */
HostStream RefuseInert() {
  _.ReportError(HOST_ERROR_VERSION);
  return 0;
}

/* Turns an opened file into a stream, or closes it. A failed open (file 0)
 * returns 0 and leaves the host's error code in place. */
HostStream StreamFromFile(HostFile file, uint32_t flags) {
  if (!file) return 0;
  HostStream stream = CreateTakStream(file, flags);
  if (!stream) _.FileClose(file);
  return stream;
}

}  // namespace

extern "C" {

VARDEK_EXPORT HostStream VARDEK_CALL VARDEK_StreamCreateFile(HostBool mem, const void *file,
                                                             uint32_t offset, uint32_t length,
                                                             uint32_t flags) {
  if (!PluginIsReady()) return RefuseInert();
  return StreamFromFile(_.FileOpen(mem, file, offset, length, flags, 1), flags);
}

VARDEK_EXPORT HostStream VARDEK_CALL VARDEK_StreamCreateURL(const char *url, uint32_t offset,
                                                            uint32_t flags,
                                                            HostDownloadProc proc, void *user) {
  if (!PluginIsReady()) return RefuseInert();
  return StreamFromFile(_.FileOpenURL(url, offset, flags, proc, user, 1), flags);
}

VARDEK_EXPORT HostStream VARDEK_CALL VARDEK_StreamCreateFileUser(uint32_t system, uint32_t flags,
                                                                 const HostFileProcs *procs,
                                                                 void *user) {
  if (!PluginIsReady()) return RefuseInert();
  return StreamFromFile(_.FileOpenUser(system, flags, procs, user, 1), flags);
}
}
