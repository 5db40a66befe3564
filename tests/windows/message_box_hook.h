/* Catches MessageBoxA in this process so that a test can see the version
 * message without a display and without a dialog waiting for a click: the
 * first bytes of user32's MessageBoxA are overwritten with a jump to a
 * recorder that answers IDOK. Works wherever user32 is a real image (Windows,
 * wine's builtin PE user32). Borrows nothing; used by the DLL load suite. */
#ifndef VARDEK_MESSAGE_BOX_HOOK_H
#define VARDEK_MESSAGE_BOX_HOOK_H

#include <windows.h>

#include <string>
#include <vector>

struct CaughtMessageBox {
  HWND owner;
  std::string text, caption;
  UINT style;
};

/* Installs the hook once; false if user32 or MessageBoxA cannot be found or
 * patched. */
bool HookMessageBoxA();

/* Every MessageBoxA call since the last ClearCaughtMessageBoxes. */
std::vector<CaughtMessageBox> &CaughtMessageBoxes();
void ClearCaughtMessageBoxes();

#endif
