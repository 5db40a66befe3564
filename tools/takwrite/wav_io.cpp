/* PCM WAV files in and out: RIFF/WAVE with a "fmt " chunk of format 1 (PCM)
 * or WAVE_FORMAT_EXTENSIBLE with the PCM subformat, 8-, 16- or 24-bit, and a
 * "data" chunk. Other chunks are skipped. Owns nothing; fills the caller's
 * buffers. Called by the takwrite command and by tests that feed it. */
#include <cstdio>
#include <cstring>
#include <memory>

#include "tak_internal.h"

namespace takwrite {

namespace {

uint32_t le16(const uint8_t *p) { return p[0] | p[1] << 8; }
uint32_t le32(const uint8_t *p) { return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24; }

void put_le(std::vector<uint8_t> &out, uint32_t v, int bytes) {
  for (int i = 0; i < bytes; ++i)
    out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

bool parse_fmt(const uint8_t *p, uint32_t size, PcmFormat &format, std::string &error) {
  if (size < 16) {
    error = "fmt chunk too short";
    return false;
  }
  uint32_t tag = le16(p);
  if (tag == 0xFFFE && size >= 40)
    tag = le16(p + 24);
  if (tag != 1) {
    error = "not integer PCM";
    return false;
  }
  format.channels = static_cast<uint16_t>(le16(p + 2));
  format.sample_rate = le32(p + 4);
  format.bits = static_cast<uint16_t>(le16(p + 14));
  if (le16(p + 12) != format.channels * ((format.bits + 7u) / 8u)) {
    error = "block alignment does not match channels and bits";
    return false;
  }
  return true;
}

} // namespace

bool parse_wav(const uint8_t *data, size_t size, PcmFormat &format, std::vector<uint8_t> &pcm,
               std::string &error) {
  if (size < 12 || std::memcmp(data, "RIFF", 4) != 0 || std::memcmp(data + 8, "WAVE", 4) != 0) {
    error = "not a RIFF/WAVE file";
    return false;
  }
  bool have_fmt = false;
  for (size_t at = 12; at + 8 <= size;) {
    uint32_t chunk = le32(data + at + 4);
    const uint8_t *body = data + at + 8;
    size_t avail = size - at - 8;
    if (std::memcmp(data + at, "fmt ", 4) == 0) {
      if (chunk > avail || !parse_fmt(body, chunk, format, error))
        return error.empty() ? (error = "truncated fmt chunk", false) : false;
      have_fmt = true;
    } else if (std::memcmp(data + at, "data", 4) == 0) {
      if (!have_fmt) {
        error = "data chunk before fmt chunk";
        return false;
      }
      size_t n = chunk < avail ? chunk : avail; /* tolerate a short last chunk */
      pcm.assign(body, body + n);
      return true;
    }
    at += 8 + static_cast<size_t>(chunk) + (chunk & 1);
  }
  error = "no data chunk";
  return false;
}

bool read_wav_file(const std::string &path, PcmFormat &format, std::vector<uint8_t> &pcm,
                   std::string &error) {
  std::unique_ptr<FILE, int (*)(FILE *)> file(std::fopen(path.c_str(), "rb"), std::fclose);
  if (!file) {
    error = "cannot open " + path;
    return false;
  }
  std::vector<uint8_t> bytes;
  uint8_t buffer[65536];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, file.get())) > 0)
    bytes.insert(bytes.end(), buffer, buffer + n);
  return parse_wav(bytes.data(), bytes.size(), format, pcm, error);
}

std::vector<uint8_t> make_wav(const PcmFormat &format, const uint8_t *pcm, size_t bytes) {
  uint32_t align = format.channels * (format.bits / 8u);
  std::vector<uint8_t> out{'R', 'I', 'F', 'F'};
  put_le(out, static_cast<uint32_t>(36 + bytes + (bytes & 1)), 4);
  out.insert(out.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
  put_le(out, 16, 4);
  put_le(out, 1, 2);
  put_le(out, format.channels, 2);
  put_le(out, format.sample_rate, 4);
  put_le(out, format.sample_rate * align, 4);
  put_le(out, align, 2);
  put_le(out, format.bits, 2);
  out.insert(out.end(), {'d', 'a', 't', 'a'});
  put_le(out, static_cast<uint32_t>(bytes), 4);
  out.insert(out.end(), pcm, pcm + bytes);
  if (bytes & 1)
    out.push_back(0);
  return out;
}

bool write_wav_file(const std::string &path, const PcmFormat &format,
                    const std::vector<uint8_t> &pcm, std::string &error) {
  std::vector<uint8_t> image = make_wav(format, pcm.data(), pcm.size());
  std::unique_ptr<FILE, int (*)(FILE *)> file(std::fopen(path.c_str(), "wb"), std::fclose);
  if (!file || std::fwrite(image.data(), 1, image.size(), file.get()) != image.size() ||
      std::fclose(file.release()) != 0) {
    error = "cannot write " + path;
    return false;
  }
  return true;
}

} // namespace takwrite
