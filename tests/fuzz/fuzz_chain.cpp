/* Fuzz target for the whole chain: the host's file layer, the plug-in and the
 * decoder library, linked into this one program. The input is an 8-byte
 * control block followed by the file:
 *   control[0]  bit 0 float stream, bit 1 caller's procedures instead of a
 *               memory file, bit 2 ask a 16-bit stream for floats
 *   control[1]  request-size pattern for the reads
 *   control[2]  where the first request size starts
 *   control[3..7] seek targets, each a fraction (n / 255) of the length
 * Every run creates the stream, reads it to the end, seeks and reads again,
 * fetches every tag type and walks each block the host hands out as far as
 * its own header says, then frees the stream. It stops the program when the
 * stream delivers more than its length, when a full read disagrees with the
 * length, when the position is not where the seek and the reads put it, or
 * when a file stays open. The file procedures
 * own nothing but the cursor over the input. */
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "bass_api.h"
#include "host/exports.h"
#include "host/plugin_entry.h"

namespace {

constexpr size_t kControlSize = 8;
constexpr uint32_t kRequestSizes[] = {1, 2, 3, 4, 7, 8, 100, 410, 1000, 4096, 65536, 131072};
constexpr size_t kRequestKinds = sizeof kRequestSizes / sizeof kRequestSizes[0];

struct Input {
  const uint8_t *data;
  uint64_t size;
  uint64_t position;
};

void VARDEK_CALL UserClose(void *) {}
uint64_t VARDEK_CALL UserLength(void *user) { return static_cast<Input *>(user)->size; }
uint32_t VARDEK_CALL UserRead(void *buffer, uint32_t length, void *user) {
  Input *in = static_cast<Input *>(user);
  const uint64_t left = in->size - in->position;
  const uint32_t count = length < left ? length : uint32_t(left);
  if (count) std::memcpy(buffer, in->data + in->position, count);
  in->position += count;
  return count;
}
HostBool VARDEK_CALL UserSeek(uint64_t offset, void *user) {
  Input *in = static_cast<Input *>(user);
  if (offset > in->size) return 0;
  in->position = offset;
  return 1;
}
const HostFileProcs kUserProcs = {UserClose, UserLength, UserRead, UserSeek};

void Require(bool holds) {
  if (!holds) std::abort();
}

/* Reads from the current position to the end in the request sizes the
 * control bytes pick; returns the bytes delivered, stopping early once more
 * than `limit` came (which the caller then reports). */
uint64_t ReadToEnd(HostStream stream, const uint8_t *control, uint64_t limit, uint32_t floatBit) {
  static std::vector<uint8_t> buffer(131072 + 16);
  uint64_t total = 0;
  for (size_t turn = control[2];; turn += 1 + control[1] % 5) {
    const uint32_t request = kRequestSizes[turn % kRequestKinds];
    const uint32_t got = BASS_ChannelGetData(stream, buffer.data(), request | floatBit);
    if (got == 0xFFFFFFFFu) break;
    Require(got <= request);
    total += got;
    if (total > limit) break;
  }
  return total;
}

/* Walks a tag block as far as its own header says it reaches. */
uint32_t TouchTags(HostStream stream) {
  uint32_t sum = 0;
  for (uint32_t type = 0; type < 8; ++type) {
    const uint8_t *block = reinterpret_cast<const uint8_t *>(BASS_ChannelGetTags(stream, type));
    if (!block) continue;
    size_t length = 0;
    if (type == HOST_TAG_ID3) length = 128;
    if (type == HOST_TAG_ID3V2)
      length = 10 + (size_t(block[6]) << 21 | size_t(block[7]) << 14 | size_t(block[8]) << 7 | block[9]);
    if (type == HOST_TAG_APE)
      length = 32 + (size_t(block[12]) | size_t(block[13]) << 8 | size_t(block[14]) << 16 |
                     size_t(block[15]) << 24);
    for (size_t i = 0; i < length; ++i) sum += block[i];
  }
  return sum;
}

/* The host's position, in the stream's own output bytes; a 16-bit stream
 * read as floats is not checked (its reads count float bytes). */
bool PositionIs(HostStream stream, uint64_t expected, uint64_t scale) {
  return scale != 1 || BASS_ChannelGetPosition(stream, BASS_POS_BYTE) == expected;
}

void Exercise(HostStream stream, const uint8_t *control) {
  const uint64_t length = BASS_ChannelGetLength(stream, BASS_POS_BYTE);
  Require(length != ~uint64_t(0));
  HostChannelInfo info{};
  Require(BASS_ChannelGetInfo(stream, &info));
  const uint32_t frame = info.chans * ((info.flags & BASS_SAMPLE_FLOAT) ? 4 : 2);
  Require(frame != 0 && length % frame == 0);
  const uint32_t floatBit = (control[0] & 4) ? BASS_DATA_FLOAT : 0;
  const uint64_t scale = floatBit && !(info.flags & BASS_SAMPLE_FLOAT) ? 2 : 1;

  Require(ReadToEnd(stream, control, length * scale, floatBit) == length * scale);
  Require(PositionIs(stream, length, scale));
  for (int i = 3; i < 8; ++i) {
    const uint64_t position = length / 255 * control[i] / frame * frame;
    if (!BASS_ChannelSetPosition(stream, position, BASS_POS_BYTE)) {
      Require(position >= length);
      continue;
    }
    Require(PositionIs(stream, position, scale));
    Require(ReadToEnd(stream, control, (length - position) * scale, floatBit) ==
            (length - position) * scale);
    Require(PositionIs(stream, length, scale));
  }
  volatile uint32_t sink = TouchTags(stream);
  (void)sink;
}

}  // namespace

/* What the load hook would do when the plug-in library is loaded. */
extern "C" int LLVMFuzzerInitialize(int *, char ***) {
  PluginAttach([](const char *, const char *) {});
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  uint8_t control[kControlSize] = {};
  std::memcpy(control, data, size < kControlSize ? size : kControlSize);
  if (size <= kControlSize) return 0;
  Input input = {data + kControlSize, size - kControlSize, 0};

  const uint32_t flags = (control[0] & 1) ? BASS_SAMPLE_FLOAT : 0;
  const HostStream stream =
      (control[0] & 2)
          ? VARDEK_StreamCreateFileUser(HOST_FILE_SYSTEM_NOBUFFER, flags, &kUserProcs, &input)
          : VARDEK_StreamCreateFile(1, input.data, 0, uint32_t(input.size), flags);
  if (stream) {
    Exercise(stream, control);
    Require(BASS_StreamFree(stream));
  }
  Require(BASS_GetOpenFileCount() == 0);
  return 0;
}
