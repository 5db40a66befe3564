/* The MessageBoxA hook (see message_box_hook.h): owns the list of caught
 * calls and the patch written over user32's entry. */
#include "message_box_hook.h"

#include <cstdint>
#include <cstring>

namespace {

int WINAPI CatchMessageBox(HWND owner, LPCSTR text, LPCSTR caption, UINT style) {
  CaughtMessageBoxes().push_back({owner, text ? text : "", caption ? caption : "", style});
  return IDOK;
}

/* mov rax, target; jmp rax (x86-64) or mov eax, target; jmp eax (x86). */
size_t JumpTo(void *target, unsigned char *code) {
  const uintptr_t address = reinterpret_cast<uintptr_t>(target);
#if defined(_WIN64)
  code[0] = 0x48, code[1] = 0xB8;
  std::memcpy(code + 2, &address, 8);
  code[10] = 0xFF, code[11] = 0xE0;
  return 12;
#else
  code[0] = 0xB8;
  std::memcpy(code + 1, &address, 4);
  code[5] = 0xFF, code[6] = 0xE0;
  return 7;
#endif
}

bool Patch(void *entry) {
  unsigned char code[16];
  const size_t size = JumpTo(reinterpret_cast<void *>(&CatchMessageBox), code);
  DWORD old = 0;
  if (!VirtualProtect(entry, size, PAGE_EXECUTE_READWRITE, &old)) return false;
  std::memcpy(entry, code, size);
  VirtualProtect(entry, size, old, &old);
  FlushInstructionCache(GetCurrentProcess(), entry, size);
  return true;
}

}  // namespace

std::vector<CaughtMessageBox> &CaughtMessageBoxes() {
  static std::vector<CaughtMessageBox> caught;
  return caught;
}

void ClearCaughtMessageBoxes() { CaughtMessageBoxes().clear(); }

bool HookMessageBoxA() {
  static int hooked = -1;
  if (hooked >= 0) return hooked != 0;
  HMODULE user32 = LoadLibraryA("user32.dll");  // kept loaded for the process
  FARPROC entry = user32 ? GetProcAddress(user32, "MessageBoxA") : nullptr;
  hooked = entry && Patch(reinterpret_cast<void *>(entry)) ? 1 : 0;
  return hooked != 0;
}
