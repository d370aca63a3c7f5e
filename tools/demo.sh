#!/usr/bin/env bash
# Builds the Linux launcher, compiles the sample application in demo/ and runs it through the
# launcher with the installed JDK. Extra arguments are handed to the application.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
"$here/tools/setup.sh" --linux
jdk="${JDK_HOME:-$(dirname "$(dirname "$(readlink -f "$(command -v javac)")")")}"
build="$here/build/linux"
app="$here/build/demo"

cmake -S "$here" -B "$build" -G Ninja >/dev/null
ninja -C "$build" -j2 launcher >/dev/null

rm -rf "$app"
mkdir -p "$app/classes" "$app/native"
"$jdk/bin/javac" --release 11 -d "$app/classes" "$here/demo/src/demo/DemoApp.java"
cp "$build/launcher" "$app/demo"
cp "$here/demo/demo.ini" "$app/demo.ini"
cp "$here/demo/splash.png" "$app/splash.png"

echo "== $app/demo $*"
cd "$app"
status=0
QL_LAUNCHER_TRACE="$app/trace.txt" timeout 60 ./demo "$@" || status=$?
echo "== exit code $status; what the launcher decided (QL_LAUNCHER_TRACE):"
grep -E '^(runtime search|selected candidate|VM library|environment|VM option|VM thread|splash)' "$app/trace.txt" || true
exit "$status"
