/* Opening the input as a host stream, in every way `vardek` offers: through
 * the host's plug-in dispatch or the plug-in's own exported constructors, from
 * a path (as a file, a memory block or the program's own file procedures) or
 * a URL. A StreamSource owns the stream and whatever must outlive it (the
 * memory block, the user file); the subcommands borrow it. */
#ifndef VARDEK_STREAM_SOURCE_H
#define VARDEK_STREAM_SOURCE_H

#include <cstdint>
#include <string>
#include <vector>

#include "bass_api.h"
#include "cli_options.h"

struct UserFileState;

struct StreamSource {
  HostStream stream = 0;
  HostPlugin plugin = 0;            /* host dispatch: the loaded plug-in */
  void *library = nullptr;          /* direct: our own handle on the plug-in library */
  const PluginInfo *info = nullptr; /* the plug-in's format list */
  std::vector<uint8_t> memory;      /* --open memory: the block the stream reads */
  UserFileState *user = nullptr;    /* --open user: the file behind our procedures */
};

/* "host error 41 (not a file format that can be played)" */
std::string HostErrorText(int32_t code);

/* Loads the plug-in and opens the stream with creation `flags`. On failure
 * returns false with a message in `error` and leaves nothing open. */
bool OpenStreamSource(const CliOptions &options, uint32_t flags, StreamSource &source,
                      std::string &error);

/* Frees the stream and what it read from; the plug-in stays loaded. */
void CloseStreamSource(StreamSource &source);

#endif
