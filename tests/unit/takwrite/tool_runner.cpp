/* Scratch files and external program runs for the takwrite tests; see
 * tool_runner.h. */
#include "tool_runner.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sys/wait.h>
#include <unistd.h>

namespace {

/* Removed with everything in it when the test process ends. */
struct ScratchDir {
  std::filesystem::path path;
  ScratchDir()
      : path(std::filesystem::temp_directory_path() /
             ("takwrite-tests-" + std::to_string(getpid()))) {
    std::filesystem::create_directories(path);
  }
  ~ScratchDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path, ignored);
  }
};

} // namespace

std::string scratch_path(const std::string &name) {
  static const ScratchDir dir;
  return (dir.path / name).string();
}

std::string shell_quoted(const std::string &path) { return "'" + path + "'"; }

std::vector<uint8_t> read_bytes(const std::string &path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

void write_bytes(const std::string &path, const std::vector<uint8_t> &bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char *>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

ToolResult run_tool(const std::string &command) {
  static int runs = 0;
  std::string err_path = scratch_path("stderr-" + std::to_string(++runs) + ".txt");
  ToolResult result;
  FILE *pipe = popen((command + " 2>" + shell_quoted(err_path)).c_str(), "r");
  if (!pipe)
    return result;
  uint8_t buffer[65536];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0)
    result.out.insert(result.out.end(), buffer, buffer + n);
  int status = pclose(pipe);
  result.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  std::vector<uint8_t> err = read_bytes(err_path);
  result.err.assign(err.begin(), err.end());
  std::remove(err_path.c_str());
  return result;
}
