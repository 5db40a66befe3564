/* The integration tests' helpers (see integration_support.h). Commands run
 * through popen with standard error sent to a file in the test directory. */
#include "integration_support.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace {
struct DirectoryOwner {
  std::string path;
  DirectoryOwner() {
    path = (std::filesystem::temp_directory_path() / ("vardek-integration-" + std::to_string(getpid())))
               .string();
    std::filesystem::create_directories(path);
  }
  ~DirectoryOwner() {
    std::error_code ignored;
    std::filesystem::remove_all(path, ignored);
  }
};

uint32_t Le32(const uint8_t *p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
}  // namespace

const std::string &TestDir() {
  static DirectoryOwner owner;
  return owner.path;
}

std::string TestPath(const std::string &name) { return TestDir() + "/" + name; }

std::string Quote(const std::string &text) {
  std::string out = "'";
  for (char c : text) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

CommandResult RunCommand(const std::string &command) {
  static int counter = 0;
  std::string errPath = TestPath("stderr-" + std::to_string(counter++));
  CommandResult result;
  FILE *pipe = popen((command + " 2>" + Quote(errPath)).c_str(), "r");
  if (!pipe) return result;
  uint8_t buffer[65536];
  size_t got;
  while ((got = fread(buffer, 1, sizeof buffer, pipe)) > 0) result.out.insert(result.out.end(), buffer, buffer + got);
  int status = pclose(pipe);
  result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  Bytes err = ReadBytes(errPath);
  result.err.assign(err.begin(), err.end());
  std::filesystem::remove(errPath);
  return result;
}

Bytes ReadBytes(const std::string &path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteBytes(const std::string &path, const Bytes &bytes) {
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char *>(bytes.data()), std::streamsize(bytes.size()));
}

bool FileExists(const std::string &path) { return std::filesystem::exists(path); }

WavData ReadWav(const std::string &path) {
  Bytes file = ReadBytes(path);
  WavData wav;
  for (size_t at = 12; at + 8 <= file.size();) {
    uint32_t size = Le32(&file[at + 4]);
    const uint8_t *body = &file[at + 8];
    if (!std::memcmp(&file[at], "fmt ", 4) && size >= 16) {
      wav.format = uint16_t(body[0] | body[1] << 8);
      wav.channels = uint16_t(body[2] | body[3] << 8);
      wav.rate = Le32(body + 4);
      wav.bits = uint16_t(body[14] | body[15] << 8);
    }
    if (!std::memcmp(&file[at], "data", 4)) {
      size_t end = std::min<size_t>(file.size(), at + 8 + size);
      wav.data.assign(file.begin() + long(at + 8), file.begin() + long(end));
      break;
    }
    at += 8 + size + (size & 1);
  }
  return wav;
}

TakFile WriteTak(const std::string &name, const std::string &spec, const std::string &extra) {
  TakFile tak{TestPath(name + ".tak"), TestPath(name + ".pcm.wav")};
  RunCommand(Quote(TAKWRITE_PATH) + " --synth " + Quote(spec) + " -o " + Quote(tak.path) + " --wav-out " +
      Quote(tak.pcmWav) + " " + extra);
  return tak;
}

Bytes FfmpegS32(const std::string &path) {
  return RunCommand("ffmpeg -v error -nostdin -i " + Quote(path) + " -f s32le -acodec pcm_s32le -").out;
}

Bytes TopSixteen(const Bytes &s32) {
  Bytes out;
  out.reserve(s32.size() / 2);
  for (size_t i = 0; i + 3 < s32.size(); i += 4) out.push_back(s32[i + 2]), out.push_back(s32[i + 3]);
  return out;
}

HostPlugin LoadRealPlugin() { return BASS_PluginLoad(VARDEK_PLUGIN_PATH, 0); }

Bytes ReadAll(HostStream stream, uint32_t chunk) {
  Bytes all, buffer(chunk);
  uint32_t got;
  while ((got = BASS_ChannelGetData(stream, buffer.data(), chunk)) != 0xFFFFFFFFu && got > 0)
    all.insert(all.end(), buffer.begin(), buffer.begin() + got);
  return all;
}
