#!/usr/bin/env bash
# Builds the benchmarks in their own Release build directory and runs them:
# one table of figures on stdout. The three TAK files they run on are written
# into <build>/bench-data on the first run (the sixty-minute one takes a few
# minutes to encode) and reused afterwards. BENCH_BUILD_DIR (default
# build-bench) and JOBS (default 2) change where and how wide it builds; extra
# arguments go to vardek_bench (e.g. --benchmark_filter=open/).
set -euo pipefail
cd "$(dirname "$0")/.."

build=${BENCH_BUILD_DIR:-build-bench}
jobs=${JOBS:-2}
log="$build/bench-build.log"
mkdir -p "$build"
fail() {
  tail -n 40 "$log" >&2
  echo "bench: $1 (whole log in $log)" >&2
  exit 1
}
{ cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release &&
  cmake --build "$build" -j"$jobs" --target vardek_bench bench_decode_to_end; } >"$log" 2>&1 ||
  fail "the build failed"
echo "bench: writing the benchmark files that are missing (minutes, the first time only)" >&2
cmake --build "$build" --target bench_files >>"$log" 2>&1 || fail "writing the benchmark files failed"
echo "bench: load average $(cut -d' ' -f1-3 /proc/loadavg) (figures are steadiest on an idle machine)" >&2
"$build/bin/vardek_bench" "$@"
