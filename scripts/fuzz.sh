#!/usr/bin/env bash
# Builds the libFuzzer targets (tests/fuzz) with clang, ASan and UBSan in their
# own build directory and runs each for a bounded time, starting from the seed
# corpus in tests/fuzz/corpus/<target> plus whatever earlier runs found.
#
#   scripts/fuzz.sh [SECONDS] [TARGET...]   run each target SECONDS (default 60)
#   scripts/fuzz.sh --seeds                 rewrite the seed corpora with takwrite_lib
#
# Targets: chain, ape, id3 (all by default). FUZZ_BUILD_DIR (default build-fuzz)
# and JOBS (default 2) change where and how wide the build runs. A finding
# stops the run with a non-zero status; its input is kept in
# <build>/fuzz-artifacts. After fixing the fault, copy that input into the
# target's seed corpus so every later run replays it.
set -euo pipefail
cd "$(dirname "$0")/.."

build=${FUZZ_BUILD_DIR:-build-fuzz}
jobs=${JOBS:-2}
seeds_only=0
seconds=60
if [ "${1:-}" = --seeds ]; then
  seeds_only=1
  shift
elif [[ "${1:-}" =~ ^[0-9]+$ ]]; then
  seconds=$1
  shift
fi
targets=("$@")
[ ${#targets[@]} -eq 0 ] && targets=(chain ape id3)

instrument="-O2 -g1 -fsanitize=fuzzer-no-link"
CC=clang CXX=clang++ cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=None \
  -DVARDEK_SANITIZE=address -DVARDEK_FUZZ=ON \
  -DCMAKE_C_FLAGS="$instrument" -DCMAKE_CXX_FLAGS="$instrument" >/dev/null

if [ $seeds_only = 1 ]; then
  cmake --build "$build" -j"$jobs" --target fuzz_make_seeds >/dev/null
  mkdir -p tests/fuzz/corpus/{chain,ape,id3}
  "$build/bin/fuzz_make_seeds" tests/fuzz/corpus
  exit 0
fi

cmake --build "$build" -j"$jobs" --target "${targets[@]/#/fuzz_}" >/dev/null

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=0}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
status=0
for target in "${targets[@]}"; do
  work="$build/fuzz-corpus/$target"
  artifacts="$build/fuzz-artifacts/$target"
  log="$build/fuzz-$target.log"
  mkdir -p "$work" "$artifacts"
  echo "fuzz: $target for ${seconds}s (log: $log)"
  if "$build/bin/fuzz_$target" -max_total_time="$seconds" -max_len=65536 -timeout=10 \
      -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix="$artifacts/" \
      "$work" "tests/fuzz/corpus/$target" >"$log" 2>&1; then
    grep -E '^stat::number_of_executed_units|^Done' "$log" | sed "s/^/fuzz: $target: /"
  else
    status=1
    echo "fuzz: $target FAILED; input kept in $artifacts:" >&2
    ls -t "$artifacts" | head -3 | sed "s|^|  $artifacts/|" >&2
    grep -m1 -E 'ERROR|runtime error|deadly signal|timeout' "$log" >&2 || true
  fi
done
exit $status
