/* The Windows load hook: DllMain. On process attach it stops thread start and
 * exit notices (DisableThreadLibraryCalls) and runs PluginAttach, which shows
 * the version message in a message box and refuses the load on a host that is
 * not 2.4; on process detach it runs PluginDetach. Borrows the attach/detach
 * pair from host/plugin_entry. Called by the system loader only. */
#ifdef _WIN32
#include <windows.h>

#include "../host/plugin_entry.h"

namespace {

/* No owner window, error icon, OK button. */
void ShowMessageBox(const char *text, const char *caption) {
  MessageBoxA(nullptr, text, caption, MB_ICONERROR | MB_OK);
}

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID reserved) {
  if (reason == DLL_PROCESS_ATTACH) {
    DisableThreadLibraryCalls(module);
    return PluginAttach(ShowMessageBox) ? TRUE : FALSE;
  }
  if (reason == DLL_PROCESS_DETACH) PluginDetach();
  return TRUE;
}
#endif
