/* vardek_bench: runs every benchmark case on the three benchmark files with
 * Google Benchmark, then prints the one summary table. Usual Google Benchmark
 * flags work (e.g. --benchmark_filter=open/ for a quick look; the table then
 * shows "-" for what did not run). Exits 0 even when targets are missed: the
 * table says which. */
#include <benchmark/benchmark.h>

#include <cstdio>

#include "bench_cases.h"
#include "bench_files.h"
#include "host_chain.h"
#include "run_results.h"
#include "summary_table.h"

int main(int argc, char **argv) {
  benchmark::Initialize(&argc, argv);
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
