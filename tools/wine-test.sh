#!/bin/sh
# Runs a test program under Wine and, when it ends badly, says so in the test's output: a program
# that cannot even start otherwise fails without a word. With KANORU_TEST_TRACE set, every start
# and end goes into that file with its time, so that a failure can be set beside what else ran.
trace=${KANORU_TEST_TRACE:-}
now() { date +%s.%N; }
out=$(mktemp "${TMPDIR:-/tmp}/wine-test.XXXXXX") || exit 1
[ -z "$trace" ] || echo "$(now) start $$ $*" >>"$trace"
# Without address-space randomisation, as the test run starts Wine (see wine-personality.sh), also
# when ctest is run by hand.
arch=$(uname -m)
if setarch "$arch" -R true 2>/dev/null; then
  setarch "$arch" -R wine "$@" >"$out" 2>&1
else
  wine "$@" >"$out" 2>&1
fi
rc=$?
[ -z "$trace" ] || echo "$(now) end $$ $rc" >>"$trace"
cat "$out"
if [ "$rc" -ne 0 ] && [ ! -s "$out" ]; then
  echo "wine-test: $1 ended with exit code $rc before writing anything (process $$);" \
    "WINEDEBUG=err+all shows why Wine ended it" >&2
fi
rm -f "$out"
case $rc in
0) ;;
1) ;; # failed tests: GoogleTest has said which
3) echo "wine-test: $1 was ended by its watchdog (exit code 3)" >&2 ;;
53) echo "wine-test: Wine could not start $1 (exit code 53: a DLL it needs is missing or failed to load)" >&2 ;;
*) echo "wine-test: $1 ended with exit code $rc" >&2 ;;
esac
exit $rc
