#!/usr/bin/env bash
# Counts failed process starts under Wine on a fresh prefix: COUNT starts of a tiny program,
# PARALLEL at a time, first from bash through wine, then from a Windows program through
# CreateProcess. Cheaper than the whole test run for showing whether starts fail at random.
#   wine-start-repro.sh [count] [parallel]          (defaults 400 and 8)
# KANORU_REPRO_RANDOMISE=1 keeps the address-space randomisation that the test run turns off.
# KANORU_REPRO_HEAP_MB=N (needs a native gcc) grows the heap of every Wine process by N MB before
# Wine reserves its addresses, which makes the rare layout that breaks a start common: with 32,
# about 3 % of randomised starts fail, none without randomisation.
set -uo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
count=${1:-400}
parallel=${2:-8}
work=${KANORU_BUILD:-$here/build}/wine-start-repro
rm -rf "$work"
mkdir -p "$work"

x86_64-w64-mingw32-gcc-posix -O1 -Wall -Wextra -static -o "$work/probe.exe" "$here/tools/wine-start-probe.c" || exit 1

export WINEPREFIX="$work/wineprefix"
export WINEARCH=win64
# err+virtual shows why Wine ended a process before it ran.
export WINEDEBUG=-all,err+module,err+virtual
export WINEDLLOVERRIDES="winemenubuilder.exe=d;mscoree=d;mshtml=d"
export LC_ALL=ja_JP.UTF-8

if [ "${KANORU_REPRO_RANDOMISE:-0}" = 1 ]; then
  wine_personality=()
else
  source "$here/tools/wine-personality.sh"
fi
if [ -n "${KANORU_REPRO_HEAP_MB:-}" ]; then
  printf '%s\n' '#include <stdlib.h>' '#include <unistd.h>' \
    '__attribute__((constructor)) static void grow(void) { sbrk(atol(getenv("KANORU_REPRO_HEAP_MB")) << 20); }' \
    >"$work/grow_heap.c"
  gcc -O1 -shared -fPIC -o "$work/grow_heap.so" "$work/grow_heap.c" || exit 1
fi
# The prefix is made as the test run makes it; only the counted starts get the grown heap.
plain() { "${wine_personality[@]}" "$@"; }
run() {
  if [ -n "${KANORU_REPRO_HEAP_MB:-}" ]; then
    "${wine_personality[@]}" env LD_PRELOAD="$work/grow_heap.so" "$@"
  else
    "${wine_personality[@]}" "$@"
  fi
}
trap 'wineserver -k >/dev/null 2>&1' EXIT

echo "personality: ${wine_personality[*]:-(address-space randomisation kept)}; heap grown by ${KANORU_REPRO_HEAP_MB:-0} MB"
start=$(date +%s)
plain wineboot -i </dev/null >/dev/null 2>&1
wineserver -w
plain wineserver -p </dev/null >/dev/null 2>&1
plain wineboot </dev/null >/dev/null 2>&1
echo "fresh prefix in $(($(date +%s) - start)) s"

# From bash: one line per failed start.
start_one() {
  out=$(run wine "$work/probe.exe" child 2>&1)
  rc=$?
  [ "$rc" -eq 0 ] && [ "${out%$'\r'}" = ok ] && return 0
  out=$(printf '%s' "${out:-(none)}" | tr -d '\r' | tr '\n' ' ')
  printf 'exit code %s, output: %s\n' "$rc" "$out"
}
export -f start_one run
export work wine_personality_text="${wine_personality[*]}"
start=$(date +%s)
# The array does not pass through the environment: rebuild it in each child shell.
seq "$count" | xargs -P "$parallel" -I{} bash -c 'wine_personality=($wine_personality_text); start_one' >"$work/bash.out"
failed=$(grep -c . "$work/bash.out")
echo "from bash: $failed of $count starts failed ($(($(date +%s) - start)) s)"
sort "$work/bash.out" | uniq -c | sed 's/^/   /'

# From a Windows program.
start=$(date +%s)
run wine "$work/probe.exe" spawn "$count" "$parallel" 2>&1 | tr -d '\r' | grep . | sort | uniq -c | sed 's/^/   /'
echo "from CreateProcess: $(($(date +%s) - start)) s"
