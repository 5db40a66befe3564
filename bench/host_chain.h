/* The chain a user runs: the host library with the plug-in loaded, streams
 * opened on the benchmark files (from memory or from disk) and drained or
 * positioned through the host's application API. Owns nothing beyond what a
 * caller frees with BASS_StreamFree; borrows the files. Called by the
 * benchmark registrations and by the decode-to-the-end program. */
#ifndef VARDEK_BENCH_HOST_CHAIN_H
#define VARDEK_BENCH_HOST_CHAIN_H

#include <cstdint>
#include <string>

#include "bass_api.h"

/* Bytes asked for per BASS_ChannelGetData call when decoding a whole file. */
constexpr uint32_t kDrainRequest = 64 * 1024;

/* Loads the plug-in at `path` into the host once; false when it will not load. */
bool LoadPlugin(const std::string &path);

/* A decode stream with 16-bit (or float) output over `size` bytes in memory. */
HostStream OpenMemoryStream(const uint8_t *bytes, uint64_t size, bool floatOutput);
/* The same over a file on disk, as BASS_StreamCreateFile with a name opens it. */
HostStream OpenPathStream(const std::string &path, bool floatOutput);

/* Reads the stream to its end in kDrainRequest requests; returns the bytes. */
uint64_t DrainStream(HostStream stream, uint8_t *buffer);

#endif
