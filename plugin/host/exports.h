/* The three exported constructors through which an application opens a TAK
 * stream directly, without going through the host's plug-in list. Each opens
 * the source through the host's file layer, runs CreateTakStream and closes the
 * file again when no stream results. Called by applications. */
#ifndef VARDEK_EXPORTS_H
#define VARDEK_EXPORTS_H

#include <cstdint>

#include "host_interface.h"

extern "C" {

/* A file by name (mem = 0) or a block of memory (mem != 0). */
VARDEK_EXPORT HostStream VARDEK_CALL VARDEK_StreamCreateFile(HostBool mem, const void *file,
                                                             uint32_t offset, uint32_t length,
                                                             uint32_t flags);

/* A URL, read through the host's download layer. */
VARDEK_EXPORT HostStream VARDEK_CALL VARDEK_StreamCreateURL(const char *url, uint32_t offset,
                                                            uint32_t flags,
                                                            HostDownloadProc proc, void *user);

/* The caller's own file procedures. */
VARDEK_EXPORT HostStream VARDEK_CALL VARDEK_StreamCreateFileUser(uint32_t system, uint32_t flags,
                                                                 const HostFileProcs *procs,
                                                                 void *user);
}

#endif
