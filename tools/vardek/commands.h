/* The three subcommands of `vardek`. Each opens the input itself, prints or
 * writes its result, and returns the process exit code (0, or 1 after
 * printing the reason). main.cpp picks one. */
#ifndef VARDEK_COMMANDS_H
#define VARDEK_COMMANDS_H

#include "cli_options.h"

int RunInfo(const CliOptions &options);
int RunDecode(const CliOptions &options);
int RunTags(const CliOptions &options);

#endif
