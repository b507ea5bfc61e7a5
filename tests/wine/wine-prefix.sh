#!/bin/sh
# The Wine side of the Windows backend tests (a ctest fixture):
#   wine-prefix.sh             make the build directory's Wine prefix once (about 15 s), then start
#                              the one Wine server of the test run with its system processes
#   wine-prefix.sh --shutdown  end that server and every Wine process of the prefix
# WINEPREFIX, WINEDEBUG and WINEDLLOVERRIDES come from ctest. Wine's own output goes to
# <prefix>.log: ctest waits for every process that holds a test's output, and Wine's server and
# system processes outlive the program that started them.
set -eu
: "${WINEPREFIX:?}"
wineserver=${ZK_WINESERVER:-wineserver}
log="$WINEPREFIX.log"

if [ "${1:-}" = "--shutdown" ]; then
    "$wineserver" -k >>"$log" 2>&1 || true
    exit 0
fi

if [ -z "${DISPLAY:-}" ]; then
    echo "wine-prefix: no X display; the Windows tests need the test command's Xvfb (scripts/test)" >&2
    exit 1
fi

ready="$WINEPREFIX/.zk-ready"
if [ ! -f "$ready" ]; then
    wineboot --init >>"$log" 2>&1 </dev/null
    # The test display has no window manager: unmanaged windows do not wait for one (2 s)
    # whenever they are hidden.
    wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >>"$log" 2>&1 </dev/null
    # Let the server that made the prefix save it and end.
    "$wineserver" -w
    touch "$ready"
    echo "wine-prefix: made $WINEPREFIX"
fi
# A persistent server of our own (one left from an earlier run is ended first), and the system
# processes (services, desktop) brought up now by a trivial program, so that no test's program
# starts them.
"$wineserver" -k >>"$log" 2>&1 || true
"$wineserver" -w
"$wineserver" -p >>"$log" 2>&1 </dev/null
wine cmd /c exit 0 >>"$log" 2>&1 </dev/null
echo "wine-prefix: Wine server running for $WINEPREFIX"
