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
    const double seconds = run.real_accumulated_time / double(run.iterations);
    CaseResult &kept = results_[name];
    if (kept.runs == 0 || seconds < kept.seconds) {
      kept.seconds = seconds;
      kept.counters.clear();
      for (const auto &[key, counter] : run.counters) kept.counters[key] = counter.value;
    }
    if (kept.runs++ == 0) std::fprintf(stderr, "\rbench: %-24s", name.c_str());
  }
}
