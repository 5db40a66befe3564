/* Helpers shared by the host's unit tests: temporary files that remove
 * themselves, "fake" files for the plug-in double (fake_plugin.cpp), and the
 * paths of the plug-in double libraries, which CMake passes in. */
#ifndef VARDEK_HOST_TEST_SUPPORT_H
#define VARDEK_HOST_TEST_SUPPORT_H

#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "bass_api.h"

using Bytes = std::vector<uint8_t>;

class TempFile {
 public:
  explicit TempFile(const Bytes &bytes) {
    static int counter = 0;
    path_ = (std::filesystem::temp_directory_path() /
             ("vardek-host-" + std::to_string(getpid()) + "-" + std::to_string(counter++)))
                .string();
    std::ofstream(path_, std::ios::binary)
        .write(reinterpret_cast<const char *>(bytes.data()), std::streamsize(bytes.size()));
  }
  ~TempFile() { std::filesystem::remove(path_); }
  TempFile(const TempFile &) = delete;
  TempFile &operator=(const TempFile &) = delete;
  const char *path() const { return path_.c_str(); }

 private:
  std::string path_;
};

/* Bytes 0, 1, 2, ... wrapping at 256: every offset's byte is known. */
inline Bytes Ramp(size_t size) {
  Bytes bytes(size);
  for (size_t i = 0; i < size; ++i) bytes[i] = uint8_t(i);
  return bytes;
}

/* A fake file: magic, rate, channels, then the samples as 16-bit LE. */
inline Bytes FakeFile(const char *magic, uint32_t rate, uint16_t chans,
                      const std::vector<int16_t> &samples) {
  Bytes bytes(10 + samples.size() * 2);
  std::memcpy(bytes.data(), magic, 4);
  std::memcpy(bytes.data() + 4, &rate, 4);
  std::memcpy(bytes.data() + 8, &chans, 2);
  for (size_t i = 0; i < samples.size(); ++i) {
    bytes[10 + 2 * i] = uint8_t(uint16_t(samples[i]) & 0xFF);
    bytes[11 + 2 * i] = uint8_t(uint16_t(samples[i]) >> 8);
  }
  return bytes;
}

/* Samples whose values differ at every index. */
inline std::vector<int16_t> CountingSamples(size_t count) {
  std::vector<int16_t> samples(count);
  for (size_t i = 0; i < count; ++i) samples[i] = int16_t(i * 37 - 20000);
  return samples;
}

#endif
