/* The host + plug-in chain (see host_chain.h). */
#include "host_chain.h"

namespace {
constexpr uint32_t kDecodeFlags = BASS_STREAM_DECODE;
}

bool LoadPlugin(const std::string &path) {
  static const HostPlugin plugin = BASS_PluginLoad(path.c_str(), 0);
  return plugin != 0;
}

HostStream OpenMemoryStream(const uint8_t *bytes, uint64_t size, bool floatOutput) {
  return BASS_StreamCreateFile(1, bytes, 0, size, kDecodeFlags | (floatOutput ? BASS_SAMPLE_FLOAT : 0));
}

HostStream OpenPathStream(const std::string &path, bool floatOutput) {
  return BASS_StreamCreateFile(0, path.c_str(), 0, 0,
                               kDecodeFlags | (floatOutput ? BASS_SAMPLE_FLOAT : 0));
}

uint64_t DrainStream(HostStream stream, uint8_t *buffer) {
  uint64_t total = 0;
  for (;;) {
    const uint32_t got = BASS_ChannelGetData(stream, buffer, kDrainRequest);
    if (got == 0xFFFFFFFFu || got == 0) break;
    total += got;
  }
  return total;
}
