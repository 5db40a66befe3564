/* The one table `make bench` prints: every figure of the run side by side
 * per file, the ratios the targets are stated in, and whether each target is
 * met; then the conversion kernels beside memcpy. Borrows the results and the
 * files; called by main after the runs. */
#ifndef VARDEK_BENCH_SUMMARY_TABLE_H
#define VARDEK_BENCH_SUMMARY_TABLE_H

#include <string>
#include <vector>

#include "bench_files.h"
#include "run_results.h"

struct MachineNote {
  std::string cpu;
  int cores;
  std::string loadBefore, loadAfter; /* /proc/loadavg's three averages */
};

MachineNote DescribeMachine();
std::string LoadAverage();

/* Prints the table to stdout. Returns the number of targets missed. */
int PrintSummary(const RunResults &results, const std::vector<BenchFile> &files,
                 const MachineNote &machine);

#endif
