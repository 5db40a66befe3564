/* Test helpers for the takwrite suite: a per-process scratch directory, whole
 * file reads and writes, and running an external program (ffmpeg, ffprobe,
 * takwrite) with its stdout captured and stderr kept in a file. Owns the
 * scratch directory's files it names; used by every takwrite test file. */
#ifndef VARDEK_TAKWRITE_TOOL_RUNNER_H
#define VARDEK_TAKWRITE_TOOL_RUNNER_H

#include <cstdint>
#include <string>
#include <vector>

struct ToolResult {
  int exit_code = -1;
  std::vector<uint8_t> out;
  std::string err;
};

/* Runs `command` through the shell; stdout is captured, stderr collected. */
ToolResult run_tool(const std::string &command);

/* A path inside this process's scratch directory (created on first use). */
std::string scratch_path(const std::string &name);

std::vector<uint8_t> read_bytes(const std::string &path);
void write_bytes(const std::string &path, const std::vector<uint8_t> &bytes);
std::string shell_quoted(const std::string &path);

#endif
