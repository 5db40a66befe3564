/* `vardek`: shows (info), decodes (decode) and dumps the tags (tags) of audio
 * files through the host library and the plug-in it loads. Parses the
 * command line and hands over to the subcommand; usage errors exit with 2. */
#include <cstdio>
#include <cstring>

#include "commands.h"

int main(int argc, char **argv) {
  if (argc == 2 && (!std::strcmp(argv[1], "--help") || !std::strcmp(argv[1], "-h") ||
                    !std::strcmp(argv[1], "help"))) {
    std::fputs(kUsage, stdout);
    return 0;
  }
  CliOptions options;
  std::string error;
  if (!ParseOptions(argc, argv, options, error)) {
    std::fprintf(stderr, "vardek: %s\n%s", error.c_str(), kUsage);
    return 2;
  }
  switch (options.command) {
    case Command::Info: return RunInfo(options);
    case Command::Decode: return RunDecode(options);
    case Command::Tags: return RunTags(options);
  }
  return 2;
}
