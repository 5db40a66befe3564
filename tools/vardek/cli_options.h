/* The command line of `vardek`: the parsed record every subcommand reads, and
 * the parser that builds it from argv. main.cpp calls ParseOptions; nothing
 * here touches the host. */
#ifndef VARDEK_CLI_OPTIONS_H
#define VARDEK_CLI_OPTIONS_H

#include <string>

enum class Command { Info, Decode, Tags };
enum class OpenWay { File, Memory, User };

struct CliOptions {
  Command command = Command::Info;
  std::string input;          /* a path or an http(s) URL */
  std::string output;         /* "-" = standard output */
  std::string plugin;         /* empty = libvardek.so beside the program */
  std::string tagType;        /* id3v1, id3v2 or ape */
  OpenWay open = OpenWay::File;
  bool direct = false;        /* the plug-in's own constructors instead of host dispatch */
  bool json = false;
  bool floatOutput = false;
  bool raw = false;
  double start = 0;           /* seconds */
  double duration = -1;       /* seconds, < 0 = to the end */
};

/* Fills `options` from argv. On a usage error returns false with the reason
 * in `error`. */
bool ParseOptions(int argc, char **argv, CliOptions &options, std::string &error);

extern const char kUsage[];

#endif
