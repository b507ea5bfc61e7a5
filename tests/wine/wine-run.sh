#!/bin/sh
# Runs one cross-built test program with Wine on the test command's X display (windows need one),
# with the server that the wine_prefix fixture started. The program's output goes through a file:
# ctest waits for every process that holds a test's output, and a Wine process that the program
# caused to start (a service, a helper) may outlive it.
set -u
if [ -z "${DISPLAY:-}" ]; then
    echo "wine-run: no X display; run the tests under xvfb-run (scripts/test does)" >&2
    exit 1
fi
out=$(mktemp)
trap 'rm -f "$out"' EXIT
wine "$@" >"$out" 2>&1 </dev/null
status=$?
cat "$out"
exit $status
