#!/usr/bin/env bash
# Builds everything with AddressSanitizer and UndefinedBehaviorSanitizer
# (VARDEK_SANITIZE=address) in its own build directory and runs the whole test
# suite there. Any invalid access, leak or undefined behaviour fails the test
# that caused it. ASAN_BUILD_DIR (default build-asan) and JOBS (default 2)
# change where and how wide it runs.
set -euo pipefail
cd "$(dirname "$0")/.."

build=${ASAN_BUILD_DIR:-build-asan}
jobs=${JOBS:-2}
# -O1 with line tables only: half the compile time of -O2 -g, and still
# readable stack traces.
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=None -DCMAKE_C_FLAGS="-O1 -g1" -DCMAKE_CXX_FLAGS="-O1 -g1" \
  -DVARDEK_SANITIZE=address -DVARDEK_BENCH=OFF >/dev/null
cmake --build "$build" -j"$jobs"
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:strict_string_checks=1:detect_stack_use_after_return=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
ctest --test-dir "$build" --output-on-failure -j"$jobs"
