/* The plug-in entry and load-time registration: BASSplugin, the format list it
 * hands the host, ConfigHandler with its two configuration cells, and the
 * attach/detach pair that checks the host's version and registers the handler.
 * The pair is portable; each system's load hook under os/ only calls it, passing
 * its own way of showing the version message. Borrows CreateTakStream from
 * stream/ and the host's `_` table and BASS_GetVersion. Called by the host
 * (BASSplugin, ConfigHandler), by os/load_hooks (attach/detach) and by
 * exports.cpp (PluginIsReady). */
#ifndef VARDEK_PLUGIN_ENTRY_H
#define VARDEK_PLUGIN_ENTRY_H

#include <cstdint>

#include "host_interface.h"

/* The host version this plug-in was built for, compared on the high 16 bits. */
constexpr uint32_t kRequiredHostVersion = 0x0204u;

/* The one message a user can ever see from the plug-in, and its caption. */
constexpr const char kVersionMessage[] = "Incorrect BASS.DLL version (2.4 is required)";
constexpr const char kVersionCaption[] = "PELLOR";

/* The two configuration options the plug-in serves, with their initial values. */
constexpr uint32_t kConfigOptionRate = 0x11000u;
constexpr uint32_t kConfigOptionChannels = 0x11001u;
constexpr uint32_t kConfigInitialRate = 44100u;
constexpr uint32_t kConfigInitialChannels = 2u;

/* How a system shows the version message: a message box on Windows, standard
 * error elsewhere, a recorder in tests. */
using ShowMessageProc = void (*)(const char *text, const char *caption);

extern "C" {
/* Face 0: the PluginInfo record; face 1: CreateTakStream; any other face, or
 * any face while the plug-in is inert: null. */
VARDEK_EXPORT const void *VARDEK_CALL BASSplugin(uint32_t face);
}

/* Serves options 0x11000 and 0x11001; see host_interface.h for the protocol. */
HostBool VARDEK_CALL ConfigHandler(uint32_t option, uint32_t flags, void *value);

/* Process attach: checks the host's version word (high 16 bits only). On a
 * mismatch shows kVersionMessage through `showMessage`, leaves the handler
 * unregistered, makes the plug-in inert and returns false. Otherwise registers
 * ConfigHandler, makes the plug-in ready and returns true. */
bool PluginAttach(ShowMessageProc showMessage);

/* Process detach: always asks the host to remove ConfigHandler (harmless when
 * it was never added) and makes the plug-in inert. */
void PluginDetach();

/* True between a successful PluginAttach and PluginDetach. While false the
 * plug-in is inert: BASSplugin gives null and the exported constructors fail
 * with HOST_ERROR_VERSION. */
bool PluginIsReady();

#endif
