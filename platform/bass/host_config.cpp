/* Configuration: the host's own options (network timeout and URL window) and
 * the list of handlers plug-ins register through RegisterConfigHandler (slot
 * 1). BASS_SetConfig/BASS_GetConfig serve the host's options first, then ask
 * each handler in registration order. The handler list is guarded by one
 * lock; handlers are called without it, so a handler may call back in. */
#include <algorithm>
#include <atomic>
#include <vector>

#include "host_internal.h"

namespace {
std::mutex handlersLock;
std::vector<HostConfigHandler> handlers;
std::atomic<uint32_t> netTimeoutMs{5000};
std::atomic<uint32_t> netWindowBytes{0};

std::atomic<uint32_t> *HostOption(uint32_t option) {
  if (option == BASS_CONFIG_NET_TIMEOUT) return &netTimeoutMs;
  if (option == BASS_CONFIG_NET_WINDOW) return &netWindowBytes;
  return nullptr;
}

std::vector<HostConfigHandler> HandlersSnapshot() {
  std::lock_guard<std::mutex> guard(handlersLock);
  return handlers;
}

/* Asks the handlers in order; true when one handled the option. */
bool AskHandlers(uint32_t option, uint32_t flags, uint32_t *value) {
  for (HostConfigHandler handler : HandlersSnapshot())
    if (handler(option, flags, value)) return true;
  return false;
}
}  // namespace

void VARDEK_CALL HostRegisterConfigHandler(HostConfigHandler handler, uint32_t mode) {
  if (!handler) return;
  std::lock_guard<std::mutex> guard(handlersLock);
  auto found = std::find(handlers.begin(), handlers.end(), handler);
  if (mode == 0 && found == handlers.end()) handlers.push_back(handler);
  if (mode == 1 && found != handlers.end()) handlers.erase(found);
}

uint32_t HostNetTimeoutMs() { return netTimeoutMs.load(); }
uint32_t HostNetWindowBytes() { return netWindowBytes.load(); }

extern "C" HostBool VARDEK_CALL BASS_SetConfig(uint32_t option, uint32_t value) {
  if (std::atomic<uint32_t> *cell = HostOption(option)) {
    cell->store(value);
    return HostFail(HOST_OK, 1);
  }
  if (AskHandlers(option, HOST_CONFIG_SET, &value)) return HostFail(HOST_OK, 1);
  return HostFail(HOST_ERROR_ILLPARAM, 0);
}

extern "C" uint32_t VARDEK_CALL BASS_GetConfig(uint32_t option) {
  if (std::atomic<uint32_t> *cell = HostOption(option)) return HostFail(HOST_OK, cell->load());
  uint32_t value = 0;
  if (AskHandlers(option, 0, &value)) return HostFail(HOST_OK, value);
  return HostFail(HOST_ERROR_ILLPARAM, 0xFFFFFFFFu);
}
