/* Helpers for the integration tests: a private temporary directory, running
 * commands (takwrite, ffmpeg, python3, vardek) with their output captured,
 * reading files and WAV data, writing test TAK files, and opening streams
 * through the host with the real plug-in loaded. */
#ifndef VARDEK_INTEGRATION_SUPPORT_H
#define VARDEK_INTEGRATION_SUPPORT_H

#include <cstdint>
#include <string>
#include <vector>

#include "bass_api.h"

using Bytes = std::vector<uint8_t>;

/* A directory under the system's temporary directory, removed at exit. */
const std::string &TestDir();
std::string TestPath(const std::string &name);

struct CommandResult {
  int exitCode = -1;
  Bytes out;        /* standard output */
  std::string err;  /* standard error */
};
/* Runs `command` through the shell. */
CommandResult RunCommand(const std::string &command);
/* `text` quoted for the shell. */
std::string Quote(const std::string &text);

Bytes ReadBytes(const std::string &path);
void WriteBytes(const std::string &path, const Bytes &bytes);
bool FileExists(const std::string &path);

/* The bytes of the "data" chunk of a WAV file, and its format fields. */
struct WavData {
  uint16_t format = 0, channels = 0, bits = 0;
  uint32_t rate = 0;
  Bytes data;
};
WavData ReadWav(const std::string &path);

/* A TAK file written by takwrite from a synthesized signal, with its input PCM
 * as WAV beside it. `spec` is takwrite's --synth value; `extra` more options. */
struct TakFile {
  std::string path;
  std::string pcmWav;
};
TakFile WriteTak(const std::string &name, const std::string &spec, const std::string &extra = "");

/* ffmpeg's decode of `path` as signed 32-bit LE samples (every width scaled up). */
Bytes FfmpegS32(const std::string &path);

/* The top 16 bits of each signed 32-bit LE sample: what the plug-in delivers
 * as 16-bit output for any source width. */
Bytes TopSixteen(const Bytes &s32);

/* Loads the real plug-in into the host (once per process). */
HostPlugin LoadRealPlugin();

/* The whole output of a stream, read in `chunk`-byte requests. */
Bytes ReadAll(HostStream stream, uint32_t chunk = 65536);

#endif
