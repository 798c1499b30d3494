#!/usr/bin/env bash
# Builds the installer, tvprobe and the tests for both architectures:
#   build/win32  the shipping i686 build
#   build/win64  the x86_64 build the tests run under wine64
# usage: scripts/build.sh [win32] [win64]   (default: both)
# Installs what is missing first (packages, cached dependencies).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

bash scripts/bootstrap.sh

archs=("$@")
[ "${#archs[@]}" -gt 0 ] || archs=(win32 win64)
for arch in "${archs[@]}"; do
  case "$arch" in
    win32) toolchain=mingw-i686.cmake ;;
    win64) toolchain=mingw-x86_64.cmake ;;
    *) echo "build.sh: unknown architecture $arch" >&2; exit 2 ;;
  esac
  bash scripts/deps.sh "$arch" "build/$arch/deps.cmake"
  if [ ! -f "build/$arch/build.ninja" ]; then
    cmake -G Ninja -S . -B "build/$arch" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/$toolchain" >/dev/null
  fi
  echo "build: $arch"
  cmake --build "build/$arch"
done
