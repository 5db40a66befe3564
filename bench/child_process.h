/* Running another program as a process of its own and measuring it: its wall
 * time, its CPU time and peak resident set (from wait4), and its standard
 * output when asked for. Used for `ffmpeg -i FILE -f s16le -` and for the
 * decode-to-the-end program that measures peak memory. Owns the child until
 * it has been waited for; called by the benchmark registrations. */
#ifndef VARDEK_BENCH_CHILD_PROCESS_H
#define VARDEK_BENCH_CHILD_PROCESS_H

#include <string>
#include <vector>

struct ChildRun {
  bool ok;            /* started and exited with status 0 */
  double wallSeconds;
  double cpuSeconds;  /* user + system */
  long maxRssKb;      /* ru_maxrss of the child */
  std::string output; /* standard output, when captured; else discarded */
};

/* Runs argv[0] (looked up in PATH) with standard input from /dev/null. */
ChildRun RunChild(const std::vector<std::string> &argv, bool captureOutput);

#endif
