/* The load hooks of ELF (and other non-Windows) systems: a constructor and a
 * destructor of the shared object that run PluginAttach and PluginDetach. A
 * shared object cannot refuse its own load, so on a host that is not 2.4 the
 * version message goes to standard error and the plug-in stays loaded but
 * inert (see plugin_entry.h). Borrows the attach/detach pair from
 * host/plugin_entry. Called by the dynamic loader only. */
#ifndef _WIN32
#include <cstdio>

#include "../host/plugin_entry.h"

namespace {

void PrintMessage(const char *text, const char *caption) { std::fprintf(stderr, "%s\n", text); }

__attribute__((constructor)) void OnLoad() { PluginAttach(PrintMessage); }
__attribute__((destructor)) void OnUnload() { PluginDetach(); }

}  // namespace
#endif
