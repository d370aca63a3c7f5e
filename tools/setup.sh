#!/usr/bin/env bash
# Installs what building and testing need on a Debian machine, when it is missing: compilers for
# Linux and both Windows word sizes, CMake and Ninja, Wine, Xvfb, a JDK and Python.
# With --linux, only what the Linux launcher and its demo need.
set -euo pipefail

# openjdk-17-jre brings the runtime's splash library (lib/libsplashscreen.so) and the X11 toolkit.
packages=(cmake ninja-build g++ python3 openjdk-17-jdk-headless openjdk-17-jre)
if [ "${1:-}" != "--linux" ]; then
  packages+=(
    g++-mingw-w64-i686 g++-mingw-w64-x86-64 binutils-mingw-w64-i686 binutils-mingw-w64-x86-64
    wine64 xvfb clang libclang-rt-14-dev
    x11-utils x11-apps openjfx
  )
fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}" >/dev/null
fi
