/* The summary table (see summary_table.h). Throughput ratios compare speeds
 * (the ceiling's time over ours), so 1.00 means as fast as the plain
 * libavcodec loop; the ratios against the ceiling come from paired runs. A figure the run could not measure prints as "-" and its
 * target as missed. */
#include "summary_table.h"

#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <fstream>

#include "bench_cases.h"
#include "kernel_cases.h"

namespace {

constexpr int kLabelWidth = 40;
constexpr int kCellWidth = 17;

/* A signed change in percent, e.g. "+1.2 %". */
std::string Percent(double change) {
  char text[32];
  std::snprintf(text, sizeof text, "%+.1f %%", change * 100);
  return text;
}

using Cells = std::vector<std::string>;

/* `value` with `decimals` decimals and a suffix; "-" when not measured. */
std::string Fixed(double value, int decimals, const char *suffix = "") {
  if (!std::isfinite(value) || value <= 0) return "-";
  char text[64];
  std::snprintf(text, sizeof text, "%.*f%s", decimals, value, suffix);
  return text;
}

void PrintRow(const std::string &label, const Cells &cells, const std::string &target = "",
              const std::string &met = "") {
  std::printf("%-*s", kLabelWidth, label.c_str());
  for (const std::string &cell : cells) std::printf("%-*s", kCellWidth, cell.c_str());
  std::printf("%-*s%s\n", kCellWidth, target.c_str(), met.c_str());
}

void PrintRule() { std::printf("%s\n", std::string(kLabelWidth + 5 * kCellWidth, '-').c_str()); }

/* Best time of `name`, or NaN when it did not run. */
double Seconds(const RunResults &r, const std::string &name) {
  auto found = r.find(name);
  return found == r.end() ? NAN : found->second.seconds;
}

double Counter(const RunResults &r, const std::string &name, const std::string &counter) {
  auto found = r.find(name);
  if (found == r.end()) return NAN;
  auto c = found->second.counters.find(counter);
  return c == found->second.counters.end() ? NAN : c->second;
}

/* Tracks one target over several figures: met only when every one is. */
struct Verdict {
  bool met = true;
  std::string worst;
  void Check(bool ok, const std::string &where) {
    if (!ok && met) worst = where;
    met = met && ok;
  }
  std::string Text() const { return met ? "yes" : "NO (" + worst + ")"; }
};

struct Printer {
  const RunResults &r;
  const std::vector<BenchFile> &files;
  int missed = 0;

  void Finish(const Verdict &v, const std::string &label, const Cells &cells, const std::string &target) {
    PrintRow(label, cells, target, v.Text());
    if (!v.met) ++missed;
  }

  void Throughput(const std::string &label, const std::string &measure) {
    Cells rt, fps;
    for (const BenchFile &f : files) {
      const double t = Seconds(r, measure + "/" + f.key);
      rt.push_back(Fixed(f.seconds / t, 0, "x"));
      fps.push_back(Fixed(double(FileFrames(f)) / t / 1e6, 2, " M"));
    }
    PrintRow(label + ", x real time", rt);
    PrintRow("  sample frames/s", fps);
  }

  /* The median ratio of back-to-back pairs (see PairedRatio). */
  void RatioToCeiling(const std::string &pair, double target) {
    Cells cells;
    Verdict v;
    for (const BenchFile &f : files) {
      const double ratio = Counter(r, pair + "/" + f.key, "ratio");
      cells.push_back(Fixed(ratio, 3));
      v.Check(ratio >= target, f.key);
    }
    Finish(v, "  speed / ceiling (paired runs)", cells, ">= " + Fixed(target, 2));
  }

  void Decode() {
    Throughput("libavcodec loop (ceiling)", "ceiling");
    Throughput("host + plug-in, 16-bit", "host16");
    RatioToCeiling("pair16", 0.95);
    Throughput("host + plug-in, float", "hostfloat");
    RatioToCeiling("pairfloat", 0.93);
    Throughput("ffmpeg -i FILE -f s16le -", "ffmpeg");
    Cells cells;
    for (const BenchFile &f : files)
      cells.push_back(Fixed(Seconds(r, "ffmpeg/" + f.key) / Seconds(r, "host16/" + f.key), 2));
    PrintRow("  host+plug-in 16-bit speed / ffmpeg", cells);
  }

  /* Figures per file, and the long file's against the short one's. */
  void Flat(const std::string &label, const std::string &measure, double scale, int decimals,
            double limit) {
    Cells cells;
    for (const BenchFile &f : files) cells.push_back(Fixed(Seconds(r, measure + "/" + f.key) * scale, decimals));
    const double ratio = Seconds(r, measure + "/60min") / Seconds(r, measure + "/1min");
    Verdict v;
    v.Check(ratio <= limit, Fixed(ratio, 2));
    Finish(v, label, cells, "60/1 <= " + Fixed(limit, 1));
    PrintRow("  60 min / 1 min", {"", Fixed(ratio, 2), ""});
  }

  void Seek() {
    Cells frame, ratio;
    Verdict v;
    for (const BenchFile &f : files) {
      const double one = Seconds(r, "ceiling/" + f.key) / Counter(r, "ceiling/" + f.key, "tak_frames");
      const double seek = Seconds(r, "seek/" + f.key);
      frame.push_back(Fixed(one * 1e6, 0));
      ratio.push_back(Fixed(seek / one, 2));
      v.Check(seek / one <= 2.0, f.key);
    }
    PrintRow("one TAK frame, ceiling decode (us)", frame);
    Flat("seek + first read of " + std::to_string(kSeekRequest) + " B (us)", "seek", 1e6, 0, 1.5);
    Finish(v, "  seek + read / one frame", ratio, "<= 2.0");
  }

  void Memory() {
    Cells cells;
    for (const BenchFile &f : files) cells.push_back(Fixed(Counter(r, "rss/" + f.key, "peak_kb") / 1024, 1));
    const double change = Counter(r, "rss/60min", "peak_kb") / Counter(r, "rss/1min", "peak_kb") - 1;
    Verdict v;
    v.Check(std::fabs(change) <= 0.10, Percent(change));
    Finish(v, "peak memory, whole decode (MiB)", cells, "60/1 within 10%");
    PrintRow("  60 min / 1 min", {"", Fixed(change + 1, 3), ""});
  }

  void Kernels() {
    PrintRow("kernel (one 64 KiB output request)", {"kernel GB/s", "memcpy GB/s", "time / memcpy"});
    for (const KernelCase &c : KernelCases()) {
      const double bytes = KernelInputBytes(c);
      const double kernel = Seconds(r, "kernel/" + c.key), copy = Seconds(r, "memcpy/" + c.key);
      PrintRow("  " + c.label + " (" + std::to_string(KernelInputBytes(c) / 1024) + " KiB in)",
               {Fixed(bytes / kernel / 1e9, 2), Fixed(bytes / copy / 1e9, 2), Fixed(kernel / copy, 2)});
    }
  }
};

std::string FirstLine(const std::string &path) {
  std::ifstream in(path);
  std::string line;
  std::getline(in, line);
  return line;
}

}  // namespace

std::string LoadAverage() {
  const std::string line = FirstLine("/proc/loadavg");
  size_t end = 0;
  for (int field = 0; field < 3 && end != std::string::npos; ++field) end = line.find(' ', end + 1);
  return line.substr(0, end);
}

MachineNote DescribeMachine() {
  MachineNote note{"unknown processor", int(sysconf(_SC_NPROCESSORS_ONLN)), "", ""};
  std::ifstream in("/proc/cpuinfo");
  for (std::string line; std::getline(in, line);)
    if (line.rfind("model name", 0) == 0 && line.find(':') != std::string::npos) {
      note.cpu = line.substr(line.find(':') + 2);
      break;
    }
  return note;
}

int PrintSummary(const RunResults &results, const std::vector<BenchFile> &files,
                 const MachineNote &machine) {
  std::printf("\nvardek bench: %s, %d cores; load average %s before, %s after.\n",
              machine.cpu.c_str(), machine.cores, machine.loadBefore.c_str(), machine.loadAfter.c_str());
  std::printf("Times are the best CPU time of each case's runs (a child's user + system time for ffmpeg).\n"
              "Decodes read the file from memory; open, seek and peak memory from disk (page cache).\n"
              "One TAK frame = the ceiling's time per TAK frame.\n");
  Printer p{results, files};
  Cells heads;
  for (const BenchFile &f : files) heads.push_back(f.label);
  PrintRule();
  PrintRow("measure", heads, "target", "met");
  PrintRule();
  p.Decode();
  PrintRule();
  p.Flat("stream open (ms)", "open", 1e3, 3, 1.5);
  p.Seek();
  p.Memory();
  PrintRule();
  p.Kernels();
  PrintRule();
  std::printf("targets missed: %d\n", p.missed);
  return p.missed;
}
