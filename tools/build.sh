#!/usr/bin/env bash
# Configures and builds the targets: build/linux/launcher, build/win32/launcher.exe and
# build/win64/launcher.exe (with their tests), build/winarm64/launcher.exe and brand.exe (Windows
# on ARM64, through Zig), and build/clang (the Linux build with clang, and the fuzz targets).
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
# Zig builds its C runtime for a target the first time (some minutes), then takes it from its cache.
configure winarm64 -DCMAKE_TOOLCHAIN_FILE=cmake/zig-aarch64-windows.cmake
build() {
  local dir="$1"; shift
  echo "build: $dir"
  ninja -C "build/$dir" -j "$jobs" "$@" | grep -v '^\[' || true
  [ "${PIPESTATUS[0]}" -eq 0 ] || exit 1
}
for dir in linux win64 win32 clang; do
  build "$dir"
done
# Only what ships for ARM64: nothing of its test programs runs on this machine.
build winarm64 launcher brand
