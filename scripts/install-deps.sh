#!/usr/bin/env bash
# Installs the Debian packages that building and testing vardek need, and only
# those that are missing. Safe to run again: a machine that has everything is
# left alone without touching the network.
#
#   scripts/install-deps.sh            build + test packages
#   scripts/install-deps.sh windows    also the mingw-w64 cross compilers and wine
set -euo pipefail

packages=(
  build-essential cmake pkg-config
  libgtest-dev libgmock-dev libbenchmark-dev
  libavcodec-dev libavutil-dev ffmpeg
  libcurl4-openssl-dev
  python3 python3-mutagen
  clang libclang-rt-14-dev valgrind
)
if [ "${1:-}" = windows ]; then
  packages+=(mingw-w64 g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix wine wine64 googletest)
fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" != 0 ]; then
  echo "install-deps: missing packages: ${missing[*]} (run as root to install them)" >&2
  exit 1
fi
echo "install-deps: installing ${missing[*]}" >&2
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
