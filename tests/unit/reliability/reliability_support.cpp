/* Helpers of the reliability suites (see reliability_support.h). */
#include "reliability_support.h"

#include <malloc.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <unistd.h>

#if defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define VARDEK_SANITIZER_HEAP 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define VARDEK_SANITIZER_HEAP 1
#endif
#ifdef VARDEK_SANITIZER_HEAP
/* The sanitizer runtime's allocator statistics (sanitizer/allocator_interface.h,
 * which GCC does not install). */
extern "C" size_t __sanitizer_get_current_allocated_bytes(void);
#endif

namespace {

const std::filesystem::path &TempDir() {
  static const std::filesystem::path dir = [] {
    std::filesystem::path made = std::filesystem::temp_directory_path() /
                                 ("vardek-reliability-" + std::to_string(getpid()));
    std::filesystem::create_directories(made);
    std::atexit([] {
      std::error_code ignored;
      std::filesystem::remove_all(TempDir(), ignored);
    });
    return made;
  }();
  return dir;
}

void VARDEK_CALL MemoryClose(void *) {}
uint64_t VARDEK_CALL MemoryLength(void *user) { return static_cast<MemoryUser *>(user)->bytes->size(); }
uint32_t VARDEK_CALL MemoryRead(void *buffer, uint32_t length, void *user) {
  MemoryUser *in = static_cast<MemoryUser *>(user);
  const uint64_t left = in->bytes->size() - in->position;
  const uint32_t count = length < left ? length : uint32_t(left);
  if (count) std::memcpy(buffer, in->bytes->data() + in->position, count);
  in->position += count;
  return count;
}
HostBool VARDEK_CALL MemorySeek(uint64_t offset, void *user) {
  MemoryUser *in = static_cast<MemoryUser *>(user);
  if (offset > in->bytes->size()) return 0;
  in->position = offset;
  return 1;
}

}  // namespace

const HostFileProcs kMemoryProcs = {MemoryClose, MemoryLength, MemoryRead, MemorySeek};

TakImage MakeTak(const std::string &spec, const takwrite::WriteOptions &options) {
  TakImage image;
  takwrite::SynthSpec synth;
  std::string error;
  if (!takwrite::parse_synth_spec(spec, synth, error)) return image;
  image.format = synth.format;
  image.pcm = takwrite::synthesize(synth);
  takwrite::encode_tak(synth.format, image.pcm.data(), image.pcm.size(), options, image.file, error,
                       &image.stats);
  return image;
}

std::string WriteTempFile(const std::string &name, const Bytes &bytes) {
  const std::string path = (TempDir() / name).string();
  FILE *out = std::fopen(path.c_str(), "wb");
  if (!out) return path;
  std::fwrite(bytes.data(), 1, bytes.size(), out);
  std::fclose(out);
  return path;
}

bool LoadPlugin() {
  static const HostPlugin plugin = BASS_PluginLoad(VARDEK_PLUGIN_PATH, 0);
  return plugin != 0;
}

Bytes ReadAll(HostStream stream, uint32_t chunk, uint64_t limit) {
  Bytes all, buffer(chunk);
  uint32_t got;
  while (all.size() < limit &&
         (got = BASS_ChannelGetData(stream, buffer.data(), chunk)) != 0xFFFFFFFFu && got > 0)
    all.insert(all.end(), buffer.begin(), buffer.begin() + got);
  return all;
}

std::vector<FrameSpan> FfprobeFrames(const std::string &path) {
  std::vector<FrameSpan> frames;
  const std::string command =
      "ffprobe -v quiet -show_entries packet=pos,size -of csv=p=0 '" + path + "'";
  FILE *pipe = popen(command.c_str(), "r");
  if (!pipe) return frames;
  long long size = 0, pos = 0;
  while (std::fscanf(pipe, "%lld,%lld\n", &size, &pos) == 2) frames.push_back({pos, size});
  pclose(pipe);
  return frames;
}

uint64_t LiveHeapBytes() {
#ifdef VARDEK_SANITIZER_HEAP
  return __sanitizer_get_current_allocated_bytes();
#else
  const struct mallinfo2 info = mallinfo2();
  return info.uordblks + info.hblkhd;
#endif
}
