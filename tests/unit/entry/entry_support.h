/* Helpers shared by the entry suites: a recorder for the version message,
 * fresh doubles for every test, and questions about the host double's call
 * log. Borrows the host and decoder doubles. */
#ifndef VARDEK_ENTRY_SUPPORT_H
#define VARDEK_ENTRY_SUPPORT_H

#include <cstdint>
#include <string>
#include <vector>

#include "decoder_double.h"
#include "host_double.h"

struct ShownMessage {
  std::string text, caption;
};

/* Every message the plug-in asked to show since the last ResetEntryDoubles. */
inline std::vector<ShownMessage> &ShownMessages() {
  static std::vector<ShownMessage> shown;
  return shown;
}

inline void RecordMessage(const char *text, const char *caption) {
  ShownMessages().push_back({text, caption});
}

inline void ResetEntryDoubles() {
  HostDouble_Reset();
  DecoderDouble_Reset();
  ShownMessages().clear();
}

/* Calls of `slot` recorded at or after log position `from`. */
inline std::vector<HostDoubleCall> CallsSince(uint32_t slot, uint32_t from) {
  std::vector<HostDoubleCall> found;
  HostDoubleCall call;
  for (uint32_t i = from; i < HostDouble_CallTotal(); ++i)
    if (HostDouble_GetCall(i, &call) && call.slot == slot) found.push_back(call);
  return found;
}

inline std::vector<HostDoubleCall> AllCalls(uint32_t slot) { return CallsSince(slot, 0); }

/* True once the plug-in asked the decoder library for a decoder. */
inline bool DecoderWasCreated() {
  DecoderDoubleCreation creation;
  return DecoderDouble_LastCreation(&creation) != 0;
}

#endif
