/* The benchmark cases (see bench_cases.h). The two that run a child process
 * time it by hand (wall time) and report its CPU time as the counter cpu_s.
 * Other counters carry what the summary needs besides time: sample frames and
 * TAK frames decoded, and the peak resident set of the child. */
#include "bench_cases.h"

#include <benchmark/benchmark.h>

#include <time.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <random>

#include "ceiling_decode.h"
#include "child_process.h"
#include "host_chain.h"
#include "kernel_cases.h"

namespace {

bool IsLong(const BenchFile &f) { return f.seconds > 600; }

/* Whole decodes: many short runs of the one-minute files, three of the long
 * one; the best of many is what a busy machine leaves steady. */
void Shape(benchmark::internal::Benchmark *b, const BenchFile &f) {
  b->Unit(benchmark::kMillisecond);
  if (IsLong(f)) b->Iterations(1)->Repetitions(3);
  else b->Iterations(2)->Repetitions(15);
}

void HostDecode(benchmark::State &state, const BenchFile *f, bool floatOutput) {
  std::vector<uint8_t> buffer(kDrainRequest);
  uint64_t bytes = 0;
  for (auto _ : state) {
    const HostStream stream = OpenMemoryStream(f->bytes.data(), f->size, floatOutput);
    if (!stream) return state.SkipWithError("the host did not open the stream");
    bytes = DrainStream(stream, buffer.data());
    BASS_StreamFree(stream);
  }
  state.counters["frames"] = double(bytes / (f->channels * (floatOutput ? 4u : 2u)));
}

void Ceiling(benchmark::State &state, const BenchFile *f) {
  CeilingResult r{};
  for (auto _ : state) r = CeilingDecode(*f);
  if (!r.ok) return state.SkipWithError("libavcodec could not decode the file");
  state.counters["frames"] = double(r.frames);
  state.counters["tak_frames"] = double(r.takFrames);
}

double ThreadCpuSeconds() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return double(now.tv_sec) + double(now.tv_nsec) / 1e9;
}

/* The ceiling and the host chain back to back, in alternating order, many
 * times; the median of the pairs' speed ratios. A shared machine drifts
 * between faster and slower spells that last longer than one decode, so
 * ratios of neighbouring runs are far steadier than ratios of best times. */
void PairedRatio(benchmark::State &state, const BenchFile *f, bool floatOutput) {
  std::vector<uint8_t> buffer(kDrainRequest);
  std::vector<double> ratios;
  auto host = [&] {
    const HostStream stream = OpenMemoryStream(f->bytes.data(), f->size, floatOutput);
    const bool ok = stream && DrainStream(stream, buffer.data()) > 0;
    BASS_StreamFree(stream);
    return ok;
  };
  for (auto _ : state) {
    const bool hostFirst = ratios.size() % 2 == 1;
    const double t0 = ThreadCpuSeconds();
    const bool firstOk = hostFirst ? host() : CeilingDecode(*f).ok;
    const double t1 = ThreadCpuSeconds();
    const bool secondOk = hostFirst ? CeilingDecode(*f).ok : host();
    const double t2 = ThreadCpuSeconds();
    if (!firstOk || !secondOk) return state.SkipWithError("a decode failed");
    const double ceiling = hostFirst ? t2 - t1 : t1 - t0, ours = hostFirst ? t1 - t0 : t2 - t1;
    ratios.push_back(ceiling / ours);
  }
  std::sort(ratios.begin(), ratios.end());
  state.counters["ratio"] = ratios[ratios.size() / 2];
  state.counters["pairs"] = double(ratios.size());
}

void Ffmpeg(benchmark::State &state, const BenchFile *f) {
  const std::vector<std::string> argv = {"ffmpeg", "-nostdin", "-v", "error", "-i", f->path,
                                         "-f", "s16le", "-"};
  double cpu = 0;
  for (auto _ : state) {
    const ChildRun run = RunChild(argv, false);
    if (!run.ok) return state.SkipWithError("ffmpeg failed");
    state.SetIterationTime(run.wallSeconds);
    cpu = run.cpuSeconds;
  }
  state.counters["cpu_s"] = cpu;
}

void PeakMemory(benchmark::State &state, const BenchFile *f, const BenchPaths *paths) {
  long peak = 0, bytes = 0;
  double cpu = 0;
  for (auto _ : state) {
    const ChildRun run = RunChild({paths->decodeToEnd, paths->plugin, f->path}, true);
    const char *hwm = std::strstr(run.output.c_str(), "VmHWM ");
    const char *count = std::strstr(run.output.c_str(), "bytes ");
    if (!run.ok || !hwm || !count) return state.SkipWithError("the decode-to-end program failed");
    state.SetIterationTime(run.wallSeconds);
    cpu = run.cpuSeconds;
    peak = std::atol(hwm + 6);
    bytes = std::atol(count + 6);
  }
  state.counters["peak_kb"] = double(peak);
  state.counters["cpu_s"] = cpu;
  state.counters["frames"] = double(bytes / (f->channels * 2));
}

void Open(benchmark::State &state, const BenchFile *f) {
  for (auto _ : state) {
    const HostStream stream = OpenPathStream(f->path, false);
    if (!stream) return state.SkipWithError("the host did not open the file");
    BASS_StreamFree(stream);
  }
}

/* Random sample positions, the same sequence in every run. */
void SeekRead(benchmark::State &state, const BenchFile *f) {
  const HostStream stream = OpenPathStream(f->path, false);
  if (!stream) return state.SkipWithError("the host did not open the file");
  const uint32_t frameBytes = f->channels * 2u;
  std::mt19937_64 random(42);
  std::uniform_int_distribution<uint64_t> frame(0, FileFrames(*f) - kSeekRequest / frameBytes);
  uint8_t buffer[kSeekRequest];
  for (auto _ : state) {
    const bool moved = BASS_ChannelSetPosition(stream, frame(random) * frameBytes, BASS_POS_BYTE);
    if (!moved || BASS_ChannelGetData(stream, buffer, kSeekRequest) != kSeekRequest) {
      state.SkipWithError("seek or read failed");
      break;
    }
  }
  BASS_StreamFree(stream);
}

void Kernel(benchmark::State &state, const KernelCase *c) {
  std::vector<uint8_t> output(kKernelRequest);
  for (auto _ : state) {
    benchmark::DoNotOptimize(RunKernel(*c, output.data()));
    benchmark::ClobberMemory();
  }
}

void Memcpy(benchmark::State &state, uint32_t bytes) {
  std::vector<uint8_t> from(bytes, 0x5A), to(bytes);
  for (auto _ : state) {
    std::memcpy(to.data(), from.data(), bytes);
    benchmark::DoNotOptimize(to.data());
    benchmark::ClobberMemory();
  }
}

}  // namespace

void RegisterBenchCases(const std::vector<BenchFile> &files, const BenchPaths &paths) {
  using benchmark::RegisterBenchmark;
  static BenchPaths kept;
  kept = paths;
  for (const BenchFile &f : files) {
    Shape(RegisterBenchmark(("ceiling/" + f.key).c_str(), Ceiling, &f)->UseRealTime(), f);
    Shape(RegisterBenchmark(("host16/" + f.key).c_str(), HostDecode, &f, false)->UseRealTime(), f);
    Shape(RegisterBenchmark(("hostfloat/" + f.key).c_str(), HostDecode, &f, true)->UseRealTime(), f);
    Shape(RegisterBenchmark(("ffmpeg/" + f.key).c_str(), Ffmpeg, &f)->UseManualTime(), f);
    for (const bool floatOutput : {false, true})
      RegisterBenchmark(((floatOutput ? "pairfloat/" : "pair16/") + f.key).c_str(), PairedRatio, &f,
                        floatOutput)
          ->Iterations(IsLong(f) ? 6 : 21)->Unit(benchmark::kMillisecond);
    RegisterBenchmark(("rss/" + f.key).c_str(), PeakMemory, &f, &kept)
        ->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);
    RegisterBenchmark(("open/" + f.key).c_str(), Open, &f)
        ->UseRealTime()->Repetitions(5)->Unit(benchmark::kMicrosecond);
    RegisterBenchmark(("seek/" + f.key).c_str(), SeekRead, &f)
        ->UseRealTime()->Repetitions(5)->Unit(benchmark::kMicrosecond);
  }
  for (const KernelCase &c : KernelCases()) {
    RegisterBenchmark(("kernel/" + c.key).c_str(), Kernel, &c)->MinTime(0.1)->Repetitions(5);
    RegisterBenchmark(("memcpy/" + c.key).c_str(), Memcpy, KernelInputBytes(c))->MinTime(0.1)->Repetitions(5);
  }
}
