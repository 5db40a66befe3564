/* Parses `vardek`'s argv into CliOptions: the subcommand, then the file and
 * options in any order. Values are checked here (known tag types, open ways,
 * non-negative times) so the subcommands can trust the record. */
#include "cli_options.h"

#include <cstdlib>
#include <cstring>

const char kUsage[] =
    "usage: vardek info FILE [--json]\n"
    "       vardek decode FILE -o OUT.wav|- [--float] [--raw] [--start SECONDS] [--duration SECONDS]\n"
    "       vardek tags FILE --type id3v1|id3v2|ape -o OUT|-\n"
    "options for every command:\n"
    "       --open file|memory|user   how the host opens FILE (default file)\n"
    "       --direct                  use the plug-in's own stream constructors\n"
    "       --plugin PATH             the plug-in to load (default: lib/libvardek.so beside bin/)\n"
    "FILE may be an http:// or https:// URL.\n";

namespace {
bool ParseSeconds(const char *text, double &out) {
  char *end = nullptr;
  out = std::strtod(text, &end);
  return end != text && *end == 0 && out >= 0;
}

bool ParseCommand(const char *word, Command &command) {
  if (!std::strcmp(word, "info")) command = Command::Info;
  else if (!std::strcmp(word, "decode")) command = Command::Decode;
  else if (!std::strcmp(word, "tags")) command = Command::Tags;
  else return false;
  return true;
}

bool ParseOpenWay(const std::string &word, OpenWay &way) {
  if (word == "file") way = OpenWay::File;
  else if (word == "memory") way = OpenWay::Memory;
  else if (word == "user") way = OpenWay::User;
  else return false;
  return true;
}

/* One option with its value (if it takes one); false with `error` set. */
bool ParseOption(const std::string &flag, const char *value, CliOptions &o, std::string &error) {
  if (flag == "-o") o.output = value;
  else if (flag == "--plugin") o.plugin = value;
  else if (flag == "--type") o.tagType = value;
  else if (flag == "--open") {
    if (!ParseOpenWay(value, o.open)) return error = "unknown --open way: " + std::string(value), false;
  } else if (flag == "--start") {
    if (!ParseSeconds(value, o.start)) return error = "bad --start: " + std::string(value), false;
  } else if (flag == "--duration") {
    if (!ParseSeconds(value, o.duration)) return error = "bad --duration: " + std::string(value), false;
  }
  return true;
}

bool TakesValue(const std::string &flag) {
  return flag == "-o" || flag == "--plugin" || flag == "--type" || flag == "--open" ||
         flag == "--start" || flag == "--duration";
}

bool ParseSwitch(const std::string &flag, CliOptions &o) {
  if (flag == "--json") o.json = true;
  else if (flag == "--float") o.floatOutput = true;
  else if (flag == "--raw") o.raw = true;
  else if (flag == "--direct") o.direct = true;
  else return false;
  return true;
}

bool CheckCommand(const CliOptions &o, std::string &error) {
  if (o.input.empty()) return error = "no FILE given", false;
  if (o.command != Command::Info && o.output.empty()) return error = "no output given (-o OUT or -o -)", false;
  if (o.command == Command::Tags && o.tagType != "id3v1" && o.tagType != "id3v2" && o.tagType != "ape")
    return error = "--type must be id3v1, id3v2 or ape", false;
  return true;
}
}  // namespace

bool ParseOptions(int argc, char **argv, CliOptions &o, std::string &error) {
  if (argc < 2 || !ParseCommand(argv[1], o.command))
    return error = argc < 2 ? "no command given" : "unknown command: " + std::string(argv[1]), false;
  for (int i = 2; i < argc; ++i) {
    std::string arg = argv[i];
    if (TakesValue(arg)) {
      if (i + 1 >= argc) return error = arg + " needs a value", false;
      if (!ParseOption(arg, argv[++i], o, error)) return false;
    } else if (ParseSwitch(arg, o)) {
    } else if (arg.size() > 1 && arg[0] == '-') {
      return error = "unknown option: " + arg, false;
    } else if (o.input.empty()) {
      o.input = arg;
    } else {
      return error = "more than one FILE given: " + arg, false;
    }
  }
  return CheckCommand(o, error);
}
