#!/bin/sh
# Runs a test program under Wine and, when it ends badly, says so in the test's output: a program
# that cannot even start otherwise fails without a word.
wine "$@"
rc=$?
case $rc in
0) ;;
1) ;; # failed tests: GoogleTest has said which
3) echo "wine-test: $1 was ended by its watchdog (exit code 3)" >&2 ;;
53) echo "wine-test: Wine could not start $1 (exit code 53: a DLL it needs is missing or failed to load)" >&2 ;;
*) echo "wine-test: $1 ended with exit code $rc" >&2 ;;
esac
exit $rc
