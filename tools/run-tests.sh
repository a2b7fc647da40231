#!/usr/bin/env bash
# The whole test run on a fresh or kept Debian 12 machine: installs what is missing, builds the
# dependencies (cached outside the clone), builds both architectures and runs every test under
# Wine. Extra arguments go to ctest (for example -R String).
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${KANORU_BUILD:-$here/build}
# Wine and the dependency cache need a home folder, which a bare CI environment may not name.
export HOME=${HOME:-/root}

source "$here/tools/wine-env.sh"
# KANORU_ARCHS narrows the build for a quick round (the full run builds both).
# shellcheck disable=SC2086
kanoru_build ${KANORU_ARCHS:-i686 x86_64}

# Wine: a private prefix for this run, Japanese code page 932, one wineserver, a display.
kanoru_wine_environment
trap kanoru_cleanup EXIT
kanoru_start_xvfb
kanoru_start_wine
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
