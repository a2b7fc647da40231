#!/usr/bin/env bash
# Repeats the whole test run on a new Wine prefix each time, under extra load, and prints which
# tests failed in which run: the way to show that the run holds on a cold, busy machine.
#   test-loop.sh [runs] [ctest arguments...]
# KANORU_LOOP_LOAD=N starts N busy loops (default: one per processor); 0 runs without load.
set -uo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
runs=${1:-20}
shift || true
build=${KANORU_BUILD:-$here/build}
logs="$build/test-loop"
mkdir -p "$logs"

load=${KANORU_LOOP_LOAD:-$(nproc)}
load_pids=()
stop_load() { [ ${#load_pids[@]} -eq 0 ] || kill "${load_pids[@]}" 2>/dev/null; }
trap stop_load EXIT
for _ in $(seq "$load"); do
  (while :; do :; done) &
  load_pids+=($!)
done

failed_runs=0
for run in $(seq "$runs"); do
  rm -rf "$build/wineprefix"
  log="$logs/run-$run.log"
  start=$(date +%s)
  bash "$here/tools/run-tests.sh" "$@" >"$log" 2>&1
  rc=$?
  cp "$build/test-trace.log" "$logs/run-$run.trace" 2>/dev/null
  secs=$(($(date +%s) - start))
  summary=$(grep -E '^[0-9]+% tests passed' "$log" | tail -1)
  failures=$(sed -n '/^The following tests FAILED:/,$p' "$log" | grep -E '^\s+[0-9]+ - ' | sed 's/^\s*//')
  echo "run $run: exit $rc, ${secs} s, ${summary:-no summary}"
  if [ "$rc" -ne 0 ]; then
    failed_runs=$((failed_runs + 1))
    [ -z "$failures" ] && failures="(see $log)"
    echo "$failures" | sed 's/^/    /'
  fi
done
echo "$((runs - failed_runs)) passed, $failed_runs failed"
[ "$failed_runs" -eq 0 ]
