#!/usr/bin/env bash
# Windows build and tests, from Linux: cross-compiles vardek.dll for x86-64
# and i686 with Debian's mingw-w64 from the same sources, builds the unit
# suites with the test doubles as bass.dll and tak_deco_lib.dll, and runs the
# 64-bit suites under wine. Installs mingw-w64 and wine when missing.
#
#   scripts/test-windows.sh         (or: make test-windows)
#
# Outputs: build-win64/ (vardek.dll, the doubles, the test programs, a private
# wine prefix) and build-win32/ (vardek.dll). GoogleTest is built for each
# target from Debian's googletest sources (GTEST_SOURCE_DIR overrides).
#
# Wine runs without a display: the only dialog the plug-in can raise, the
# version message box, is caught in-process by the DLL suite (tests/windows),
# and every test has a timeout.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh windows

JOBS=${JOBS:-$(nproc)}
GTEST_SOURCE_DIR=${GTEST_SOURCE_DIR:-/usr/src/googletest}
BUILD_TYPE=${BUILD_TYPE:-RelWithDebInfo}

# GoogleTest for one mingw target, installed inside that target's build tree.
build_gtest() {
  local dir=$1 toolchain=$2
  [ -f "$dir/googletest-install/lib/cmake/GTest/GTestConfig.cmake" ] && return 0
  cmake -S "$GTEST_SOURCE_DIR" -B "$dir/googletest" -DCMAKE_TOOLCHAIN_FILE="$PWD/$toolchain" \
    -DCMAKE_BUILD_TYPE=Release -Dgtest_disable_pthreads=ON \
    -DCMAKE_INSTALL_PREFIX="$PWD/$dir/googletest-install" >/dev/null
  cmake --build "$dir/googletest" -j"$JOBS" >/dev/null
  cmake --install "$dir/googletest" >/dev/null
}

configure() {
  local dir=$1 toolchain=$2
  build_gtest "$dir" "$toolchain"
  cmake -S . -B "$dir" -DCMAKE_TOOLCHAIN_FILE="$PWD/$toolchain" -DCMAKE_BUILD_TYPE="$BUILD_TYPE" \
    -DGTest_DIR="$PWD/$dir/googletest-install/lib/cmake/GTest" >/dev/null
}

# 32-bit: the DLL only (stdcall at the boundary), and its symbol tables.
configure build-win32 cmake/mingw-w64-i686.cmake
cmake --build build-win32 -j"$JOBS" --target vardek
cmake -DLIBRARY=build-win32/vardek.dll -DTOOL=i686-w64-mingw32-objdump -DFORMAT=PE \
  -P tests/unit/entry/check_exports.cmake
echo "test-windows: build-win32/vardek.dll exports and imports as expected"

# 64-bit: everything, then the suites under wine.
configure build-win64 cmake/mingw-w64-x86_64.cmake
cmake --build build-win64 -j"$JOBS"

export WINEPREFIX="$PWD/build-win64/wineprefix"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="  # no Mono/Gecko install prompts
unset DISPLAY WAYLAND_DISPLAY
# One persistent wine server for the whole run (a fresh one per test program
# costs seconds), stopped again on the way out.
mkdir -p "$WINEPREFIX"  # a fresh clone has none yet; wine fills it on first use
wineserver -p
trap 'wineserver -k || true' EXIT
# Start the prefix's own services with a single program first: test programs
# started concurrently into a cold session can hang at exit.
timeout 300 wine cmd.exe /c exit
ctest --test-dir build-win64 --output-on-failure -j"$JOBS" --timeout 120
