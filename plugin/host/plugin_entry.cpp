/* The plug-in entry, its format list, the two configuration cells and the
 * attach/detach pair (see plugin_entry.h). Owns the cells and the ready flag;
 * borrows the host's `_` table, BASS_GetVersion and CreateTakStream. Called by
 * the host and by the system load hooks in os/. */
#include "plugin_entry.h"

#include "../stream/tak_stream.h"

namespace {

/* The format list handed out by BASSplugin(0); static, never changes. */
const PluginFormat kTakFormat = {0x10000u, "TAK file", "*.tak"};
const PluginInfo kPluginInfo = {0x02040000u, 1u, &kTakFormat};

/* The two configuration cells; only ConfigHandler reads and writes them. */
uint32_t gConfigRate = kConfigInitialRate;
uint32_t gConfigChannels = kConfigInitialChannels;

/* Set by a successful attach, cleared by detach. */
bool gReady = false;

uint32_t *ConfigCell(uint32_t option) {
  if (option == kConfigOptionRate) return &gConfigRate;
  if (option == kConfigOptionChannels) return &gConfigChannels;
  return nullptr;
}

}  // namespace

extern "C" VARDEK_EXPORT const void *VARDEK_CALL BASSplugin(uint32_t face) {
  if (!gReady) return nullptr;
  if (face == 0) return &kPluginInfo;
  if (face == 1) return reinterpret_cast<const void *>(&CreateTakStream);
  return nullptr;
}

HostBool VARDEK_CALL ConfigHandler(uint32_t option, uint32_t flags, void *value) {
  if (flags & HOST_CONFIG_PTR) return 0;
  uint32_t *cell = ConfigCell(option);
  if (!cell) return 0;
  uint32_t *word = static_cast<uint32_t *>(value);
  if (flags & HOST_CONFIG_SET)
    *cell = *word;
  else
    *word = *cell;
  return 1;
}

bool PluginAttach(ShowMessageProc showMessage) {
  if ((BASS_GetVersion() >> 16) != kRequiredHostVersion) {
    gReady = false;
    showMessage(kVersionMessage, kVersionCaption);
    return false;
  }
  _.RegisterConfigHandler(ConfigHandler, 0);
  gReady = true;
  return true;
}

void PluginDetach() {
  gReady = false;
  _.RegisterConfigHandler(ConfigHandler, 1);
}

bool PluginIsReady() { return gReady; }
