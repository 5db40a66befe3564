/* What the Google Benchmark runs measured, kept per case name: the best
 * (shortest) CPU time of one iteration over all repetitions, the best wall
 * time, and the counters of the run with the best CPU time. CPU time, and the
 * best of several runs, because the machine may be busy with other work: a
 * busy machine stretches wall time far more than the CPU time of a single
 * thread. Cases that time a child process report its CPU time (user +
 * system) in the counter "cpu_s", which then stands for the CPU time. The collector is the reporter handed to
 * RunSpecifiedBenchmarks; it keeps a count of measured runs on one line of
 * stderr and leaves stdout to the summary. */
#ifndef VARDEK_BENCH_RUN_RESULTS_H
#define VARDEK_BENCH_RUN_RESULTS_H

#include <benchmark/benchmark.h>

#include <map>
#include <string>

struct CaseResult {
  double seconds = 0;     /* best CPU time of one iteration */
  double wallSeconds = 0; /* best wall time of one iteration */
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
  int runsMeasured_ = 0;
};

#endif
