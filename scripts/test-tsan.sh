#!/usr/bin/env bash
# Builds the concurrency test and what it loads (host, plug-in, decoder
# library) with ThreadSanitizer (VARDEK_SANITIZE=thread) in its own build
# directory and runs it: sixteen streams decoded at once on eight threads
# through the host. A data race fails the run. TSAN_BUILD_DIR (default
# build-tsan) and JOBS (default 2) change where and how wide it runs.
set -euo pipefail
cd "$(dirname "$0")/.."

build=${TSAN_BUILD_DIR:-build-tsan}
jobs=${JOBS:-2}
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=None -DCMAKE_C_FLAGS="-O1 -g1" -DCMAKE_CXX_FLAGS="-O1 -g1" \
  -DVARDEK_SANITIZE=thread -DVARDEK_BENCH=OFF >/dev/null
cmake --build "$build" -j"$jobs" --target reliability_tests vardek tak_deco_lib bass >/dev/null
export TSAN_OPTIONS=${TSAN_OPTIONS:-halt_on_error=1:second_deadlock_stack=1}
"$build/bin/reliability_tests" --gtest_filter='Concurrency.*'
