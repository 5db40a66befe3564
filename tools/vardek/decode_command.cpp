/* `vardek decode FILE -o OUT.wav|- [--float] [--raw] [--start S]
 * [--duration S]`: pulls the stream's output with BASS_ChannelGetData and
 * writes it as WAV (wav_header) or bare samples, through output_file so that
 * a failure leaves no OUT. Draws a progress bar on standard error when that
 * is a terminal and the work has taken over a second. */
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <vector>

#include "commands.h"
#include "output_file.h"
#include "stream_source.h"
#include "text_out.h"
#include "wav_header.h"

namespace {
constexpr uint32_t kChunkBytes = 1 << 16;

struct Progress {
  std::chrono::steady_clock::time_point begun = std::chrono::steady_clock::now();
  bool terminal = isatty(STDERR_FILENO) == 1;
  bool shown = false;
  int percent = -1; /* last drawn */
};

void ShowProgress(Progress &p, uint64_t done, uint64_t total, bool last) {
  if (!p.terminal || total == 0) return;
  if (!p.shown && std::chrono::steady_clock::now() - p.begun < std::chrono::seconds(1)) return;
  int percent = int(done * 100 / total);
  if (percent == p.percent && !last) return;
  p.percent = percent;
  std::string bar(size_t(percent / 4), '#');
  bar.resize(25, '.');
  std::fprintf(stderr, "\rdecoding [%s] %3d%%%s", bar.c_str(), percent, last ? "\n" : "");
  p.shown = true;
}

struct Plan {
  HostChannelInfo info{};
  uint32_t frameBytes = 0;
  uint64_t startBytes = 0;
  uint64_t totalBytes = 0; /* to write */
};

uint64_t SecondsToBytes(double seconds, const Plan &plan) {
  return uint64_t(std::llround(seconds * plan.info.freq)) * plan.frameBytes;
}

bool MakePlan(const CliOptions &o, HostStream stream, Plan &plan, std::string &error) {
  if (!BASS_ChannelGetInfo(stream, &plan.info))
    return error = "no channel information: " + HostErrorText(BASS_ErrorGetCode()), false;
  plan.frameBytes = plan.info.chans * (o.floatOutput ? 4 : 2);
  uint64_t length = BASS_ChannelGetLength(stream, BASS_POS_BYTE);
  if (length == UINT64_MAX) return error = "no length: " + HostErrorText(BASS_ErrorGetCode()), false;
  plan.startBytes = SecondsToBytes(o.start, plan);
  if (plan.startBytes > 0 && !BASS_ChannelSetPosition(stream, plan.startBytes, BASS_POS_BYTE))
    return error = "cannot start at " + std::to_string(o.start) + " s: " +
                   HostErrorText(BASS_ErrorGetCode()), false;
  plan.totalBytes = plan.startBytes < length ? length - plan.startBytes : 0;
  if (o.duration >= 0) plan.totalBytes = std::min(plan.totalBytes, SecondsToBytes(o.duration, plan));
  return true;
}

/* Copies the stream to `out`; the bytes written in `done`. */
bool Pump(HostStream stream, const Plan &plan, OutputFile &out, uint64_t &done, std::string &error) {
  std::vector<uint8_t> chunk(kChunkBytes - kChunkBytes % plan.frameBytes);
  Progress progress;
  while (done < plan.totalBytes) {
    uint32_t want = uint32_t(std::min<uint64_t>(chunk.size(), plan.totalBytes - done));
    uint32_t got = BASS_ChannelGetData(stream, chunk.data(), want);
    if (got == 0xFFFFFFFFu && BASS_ErrorGetCode() == HOST_ERROR_ENDED) break;
    if (got == 0xFFFFFFFFu) return error = "decoding failed: " + HostErrorText(BASS_ErrorGetCode()), false;
    if (got == 0) break;
    if (!OutputWrite(out, chunk.data(), got)) return error = "cannot write " + out.path, false;
    done += got;
    ShowProgress(progress, done, plan.totalBytes, false);
  }
  if (progress.shown) ShowProgress(progress, done, plan.totalBytes, true);
  return true;
}

bool WriteAll(const CliOptions &o, HostStream stream, const Plan &plan, std::string &error) {
  OutputFile out;
  if (!OutputOpen(o.output, out, error)) return false;
  std::vector<uint8_t> header;
  if (!o.raw) header = WavHeader(plan.info.freq, plan.info.chans, o.floatOutput, plan.totalBytes);
  uint64_t done = 0;
  bool ok = OutputWrite(out, header.data(), header.size()) || (error = "cannot write " + o.output, false);
  ok = ok && Pump(stream, plan, out, done, error);
  if (ok && !o.raw && done != plan.totalBytes && OutputIsFile(out)) {
    std::vector<uint8_t> fixed = WavHeader(plan.info.freq, plan.info.chans, o.floatOutput, done);
    ok = OutputPatch(out, 0, fixed.data(), fixed.size()) || (error = "cannot write " + o.output, false);
  }
  if (!ok) {
    OutputAbandon(out);
    return false;
  }
  if (!OutputCommit(out, error)) return false;
  if (o.output != "-") {
    uint64_t frames = done / plan.frameBytes;
    std::fprintf(stderr, "vardek: wrote %s: %llu frames, %.3f seconds, %s%s\n", o.output.c_str(),
                 (unsigned long long)frames, double(frames) / plan.info.freq,
                 o.floatOutput ? "32-bit float" : "16-bit PCM", o.raw ? " (raw)" : "");
  }
  return true;
}
}  // namespace

int RunDecode(const CliOptions &o) {
  StreamSource source;
  std::string error;
  uint32_t flags = BASS_STREAM_DECODE | (o.floatOutput ? BASS_SAMPLE_FLOAT : 0);
  if (!OpenStreamSource(o, flags, source, error)) return Fail(error);
  Plan plan;
  bool ok = MakePlan(o, source.stream, plan, error) && WriteAll(o, source.stream, plan, error);
  CloseStreamSource(source);
  return ok ? 0 : Fail(error);
}
