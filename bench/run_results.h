/* What the Google Benchmark runs measured, kept per case name: the best
 * (shortest) wall time of one iteration over all repetitions, and the
 * counters of that best run. The best run is the one least disturbed by
 * other work on the machine. The collector is the reporter handed to
 * RunSpecifiedBenchmarks; it prints one progress line per case to stderr and
 * leaves stdout to the summary. */
#ifndef VARDEK_BENCH_RUN_RESULTS_H
#define VARDEK_BENCH_RUN_RESULTS_H

#include <benchmark/benchmark.h>

#include <map>
#include <string>

struct CaseResult {
  double seconds = 0; /* best wall time of one iteration */
  int runs = 0;
  std::map<std::string, double> counters;
};

using RunResults = std::map<std::string, CaseResult>;

class ResultCollector : public benchmark::BenchmarkReporter {
 public:
  explicit ResultCollector(RunResults &results) : results_(results) {}
  bool ReportContext(const Context &) override { return true; }
  void ReportRuns(const std::vector<Run> &runs) override;

 private:
  RunResults &results_;
};

#endif
