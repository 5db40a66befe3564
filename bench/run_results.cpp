/* The result collector (see run_results.h). */
#include "run_results.h"

#include <cstdio>

void ResultCollector::ReportRuns(const std::vector<Run> &runs) {
  for (const Run &run : runs) {
    if (run.run_type != Run::RT_Iteration || run.iterations == 0) continue;
    const std::string &name = run.run_name.function_name;
    if (run.error_occurred) {
      std::fprintf(stderr, "bench: %s failed: %s\n", name.c_str(), run.error_message.c_str());
      continue;
    }
    const double iterations = double(run.iterations);
    auto childCpu = run.counters.find("cpu_s");
    const double cpu = childCpu != run.counters.end() ? childCpu->second.value
                                                      : run.cpu_accumulated_time / iterations;
    const double wall = run.real_accumulated_time / iterations;
    CaseResult &kept = results_[name];
    if (kept.runs == 0 || wall < kept.wallSeconds) kept.wallSeconds = wall;
    if (kept.runs == 0 || cpu < kept.seconds) {
      kept.seconds = cpu;
      kept.counters.clear();
      for (const auto &[key, counter] : run.counters) kept.counters[key] = counter.value;
    }
    ++kept.runs;
    std::fprintf(stderr, "\rbench: %d runs measured", ++runsMeasured_);
  }
}
