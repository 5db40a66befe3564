/* Test helpers (see test_files.h). */
#include "test_files.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <stdexcept>

namespace {

MemoryStream *Of(void *user) { return static_cast<MemoryStream *>(user); }

void Jumble(MemoryStream *s) {
  if (!s->jumble) return;
  s->jumbleState = s->jumbleState * 1103515245u + 12345u;
  s->position = int64_t(s->jumbleState % (s->bytes.size() + 1));
}

TakBool VARDEK_CALL CanRead(void *user) { return user != nullptr; }
TakBool VARDEK_CALL CanWrite(void *) { return 0; }
TakBool VARDEK_CALL CanSeek(void *user) { return user != nullptr; }
TakBool VARDEK_CALL Read(void *user, void *buffer, int32_t count, int32_t *bytesRead) {
  MemoryStream *s = Of(user);
  const int64_t left = int64_t(s->bytes.size()) - s->position;
  const int64_t n = std::max<int64_t>(0, std::min<int64_t>(count, left));
  if (n > 0) std::memcpy(buffer, s->bytes.data() + s->position, size_t(n));
  s->position += n;
  s->bytesRead += n;
  *bytesRead = int32_t(n);
  Jumble(s);
  return 1;
}
TakBool VARDEK_CALL Write(void *, const void *, int32_t, int32_t *) { return 0; }
TakBool VARDEK_CALL Flush(void *) { return 0; }
TakBool VARDEK_CALL Truncate(void *) { return 0; }
TakBool VARDEK_CALL Seek(void *user, int64_t offset) {
  Of(user)->position = offset;
  return 1;
}
TakBool VARDEK_CALL GetLength(void *user, int64_t *length) {
  *length = int64_t(Of(user)->bytes.size());
  Jumble(Of(user));
  return 1;
}

Bytes RunCommand(const std::string &command) {
  FILE *pipe = popen(command.c_str(), "r");
  if (!pipe) throw std::runtime_error("cannot run " + command);
  Bytes out;
  uint8_t chunk[65536];
  size_t got = 0;
  while ((got = fread(chunk, 1, sizeof chunk, pipe)) > 0) out.insert(out.end(), chunk, chunk + got);
  pclose(pipe);
  return out;
}

}  // namespace

const DecoderIo kMemoryIo = {CanRead, CanWrite, CanSeek, Read, Write, Flush, Truncate, Seek, GetLength};

TakImage MakeTak(const std::string &spec, const takwrite::WriteOptions &options) {
  takwrite::SynthSpec synth;
  std::string error;
  if (!takwrite::parse_synth_spec(spec, synth, error)) throw std::runtime_error(error);
  TakImage image;
  image.format = synth.format;
  image.pcm = takwrite::synthesize(synth);
  if (!takwrite::encode_tak(synth.format, image.pcm.data(), image.pcm.size(), options, image.file,
                            error, &image.stats))
    throw std::runtime_error(error);
  return image;
}

TempFile::TempFile(const Bytes &bytes) {
  const char *dir = std::getenv("TMPDIR");
  std::string pattern = std::string(dir && *dir ? dir : "/tmp") + "/takdeco-XXXXXX";
  std::vector<char> name(pattern.begin(), pattern.end());
  name.push_back(0);
  const int fd = mkstemp(name.data());
  if (fd < 0) throw std::runtime_error("mkstemp failed");
  if (write(fd, bytes.data(), bytes.size()) != ssize_t(bytes.size())) throw std::runtime_error("write");
  close(fd);
  path = name.data();
}

TempFile::~TempFile() { unlink(path.c_str()); }

Bytes FfmpegDecode(const std::string &path, int bits) {
  const char *format = bits == 8 ? "-c:a pcm_u8 -f u8" : bits == 16 ? "-c:a pcm_s16le -f s16le"
                                                                    : "-c:a pcm_s24le -f s24le";
  return RunCommand("ffmpeg -nostdin -v quiet -i '" + path + "' " + format + " -");
}

std::vector<Packet> FfprobeFrames(const std::string &path) {
  const Bytes text = RunCommand("ffprobe -v quiet -show_entries packet=pos,size -of csv=p=0 '" +
                                path + "'");
  std::vector<Packet> packets;
  const std::string all(text.begin(), text.end());
  size_t at = 0;
  while (at < all.size()) {
    const size_t end = all.find('\n', at);
    const std::string line = all.substr(at, end == std::string::npos ? end : end - at);
    long long size = 0, pos = 0;
    if (std::sscanf(line.c_str(), "%lld,%lld", &size, &pos) == 2) packets.push_back({pos, size});
    if (end == std::string::npos) break;
    at = end + 1;
  }
  return packets;
}
