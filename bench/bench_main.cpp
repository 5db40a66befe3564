/* vardek_bench: runs every benchmark case on the three benchmark files with
 * Google Benchmark, then prints the one summary table. Usual Google Benchmark
 * flags work (e.g. --benchmark_filter=open/ for a quick look; the table then
 * shows "-" for what did not run). Exits 0 even when targets are missed: the
 * table says which. */
#include <benchmark/benchmark.h>

#include <cstdio>
#include <vector>

#include "bench_cases.h"
#include "bench_files.h"
#include "host_chain.h"
#include "run_results.h"
#include "summary_table.h"

/* Repetitions of all cases run in random order, so that a burst of other work
 * on the machine spreads over every case instead of spoiling one. A flag on
 * the command line still wins. */
std::vector<char *> WithDefaults(int argc, char **argv) {
  static char interleave[] = "--benchmark_enable_random_interleaving=true";
  std::vector<char *> args(argv, argv + argc);
  args.insert(args.begin() + 1, interleave);
  args.push_back(nullptr);
  return args;
}

int main(int argc, char **argv) {
  std::vector<char *> args = WithDefaults(argc, argv);
  int count = int(args.size()) - 1;
  benchmark::Initialize(&count, args.data());
  std::vector<BenchFile> files;
  if (!LoadBenchFiles(files)) return 1;
  const BenchPaths paths{VARDEK_PLUGIN_PATH, VARDEK_DECODE_TO_END_PATH};
  if (!LoadPlugin(paths.plugin)) {
    std::fprintf(stderr, "bench: the host will not load %s\n", paths.plugin.c_str());
    return 1;
  }
  RegisterBenchCases(files, paths);
  MachineNote machine = DescribeMachine();
  machine.loadBefore = LoadAverage();
  RunResults results;
  ResultCollector collector(results);
  benchmark::RunSpecifiedBenchmarks(&collector);
  std::fprintf(stderr, "\n");
  machine.loadAfter = LoadAverage();
  PrintSummary(results, files, machine);
  benchmark::Shutdown();
  return 0;
}
