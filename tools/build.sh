#!/usr/bin/env bash
# Configures and builds the three targets: build/linux/launcher, build/win32/launcher.exe and
# build/win64/launcher.exe (with their tests), and build/clang (the Linux build with clang, and
# the fuzz targets).
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
jobs="${JOBS:-$(nproc)}"
configure() {
  local dir="$1"; shift
  [ -f "build/$dir/build.ninja" ] || cmake -S . -B "build/$dir" -G Ninja "$@" >/dev/null
}
configure linux
configure win64 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-x86_64.cmake
configure win32 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake
# clang as well: it must build the same sources warning-free, and it builds the fuzz targets.
configure clang -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++
for dir in linux win64 win32 clang; do
  echo "build: $dir"
  ninja -C "build/$dir" -j "$jobs" | grep -v '^\[' || true
  [ "${PIPESTATUS[0]}" -eq 0 ] || exit 1
done
