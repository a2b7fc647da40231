#!/usr/bin/env bash
# The whole test run on a fresh or kept Debian 12 machine: installs what is missing, builds the
# dependencies (cached outside the clone), builds both architectures and runs every test under
# Wine. Extra arguments go to ctest (for example -R String).
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${KANORU_BUILD:-$here/build}
# Wine and the dependency cache need a home folder, which a bare CI environment may not name.
export HOME=${HOME:-/root}

bash "$here/tools/install-packages.sh"
bash "$here/tools/build-deps.sh"
# KANORU_ARCHS narrows the build for a quick round (the full run builds both).
for arch in ${KANORU_ARCHS:-i686 x86_64}; do
  bash "$here/tools/build.sh" "$arch" "$build/$arch"
done

# Wine: a private prefix for this run, Japanese code page 932, one wineserver, a display.
export WINEPREFIX="$build/wineprefix"
export WINEARCH=win64
export WINEDEBUG=-all,err+module
export WINEDLLOVERRIDES="winemenubuilder.exe=d;mscoree=d;mshtml=d"
# Wine moves what is deleted to the recycle bin into the XDG trash: a fresh one in the build folder
# for every run, never the user's.
export XDG_DATA_HOME="$build/xdg-data"
rm -rf "$XDG_DATA_HOME"
mkdir -p "$XDG_DATA_HOME"
# Japanese code page 932 for every Wine process (given through env: bash itself has no such locale),
# all started without address-space randomisation (see the sourced script).
source "$here/tools/wine-personality.sh"
ja=("${wine_personality[@]}" env LC_ALL=ja_JP.UTF-8)

xvfb_pid=""
cleanup() {
  wineserver -k >/dev/null 2>&1 || true
  [ -z "$xvfb_pid" ] || kill "$xvfb_pid" 2>/dev/null || true
}
trap cleanup EXIT

exec 3>"$build/xvfb.display"
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp </dev/null >/dev/null 2>&1 &
xvfb_pid=$!
exec 3>&-
for _ in $(seq 50); do [ -s "$build/xvfb.display" ] && break; sleep 0.1; done
export DISPLAY=":$(cat "$build/xvfb.display")"

if [ ! -f "$WINEPREFIX/system.reg" ]; then
  "${ja[@]}" wineboot -i </dev/null >/dev/null 2>&1 || true
  wineserver -w  # the registry files are written when the server ends
  [ -f "$WINEPREFIX/system.reg" ] || { echo "could not make the Wine prefix $WINEPREFIX"; exit 1; }
fi
# Wine's background processes must not hold ctest's output open.
"${ja[@]}" wineserver -p </dev/null >/dev/null 2>&1 || true  # one may already serve this prefix
"${ja[@]}" wineboot </dev/null >/dev/null 2>&1 || true
# One program lives through the whole run, so that Wine keeps its background processes and the
# desktop up between tests instead of ending and restarting them while tests start.
keeper_out="$build/wine-keeper.out"
: >"$keeper_out"
"${ja[@]}" wine "$build/x86_64/tests/kanoru_wine_keeper.exe" </dev/null >"$keeper_out" 2>&1 &
for _ in $(seq 1200); do grep -q '^ready' "$keeper_out" && break; sleep 0.1; done
if ! grep -q '^ready' "$keeper_out"; then
  echo "Wine could not start a program with a window in this prefix within 120 s:"
  cat "$keeper_out"
  exit 1
fi

# Every test's start and end, for setting a failure beside what ran at the same time.
export KANORU_TEST_TRACE="$build/test-trace.log"
: >"$KANORU_TEST_TRACE"

cd "$build/x86_64"
"${ja[@]}" ctest --timeout 240 -j "$(nproc)" --output-on-failure "$@"
