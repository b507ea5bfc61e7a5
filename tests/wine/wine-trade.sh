#!/bin/sh
# Trading through real Win32 messages under Wine, on the test command's X display, with the server
# of the wine_prefix fixture:
#   wine-trade.sh <zentrikclock.exe> <tdxw.exe> <work directory>
# The Windows program runs on the Windows desktop backend with a simulated keyboard
# (--sim-keyboard) beside the fake TDX process (tdxw.exe), with 不买ST股 (Software/TdxNotST) set
# in its settings file. The keyboard's 开关 key switches trading mode on; then
#   1. a 1/3买 key on 600000 浦发银行 (maximum 10000) must place 3300 shares: the program reads
#      the dialog with WM_GETTEXT, clicks the client's 1/3 button and confirm button with BM_CLICK;
#   2. the same key on an ST stock must be refused: the dialog closed (the program types Esc into
#      it, and sends WM_CLOSE if that was not enough), no order.
# Both are read back from the fake TDX's own journal (its order book). Prints the run time of each
# trade, from the key to the client's record.
set -eu
app=$1 tdx=$2 work=$3
if [ -z "${DISPLAY:-}" ]; then
    echo "wine-trade: no X display; run the tests under xvfb-run (scripts/test does)" >&2
    exit 1
fi
: "${WINEPREFIX:?}"
rm -rf "$work"
mkdir -p "$work"
journal=$work/tdx-journal.txt tdx_commands=$work/tdx-commands.txt
control=$work/keyboard-control.txt trace=$work/keyboard-trace.txt log=$work/program.log
: >"$journal" >"$tdx_commands" >"$control" >"$log"
win() { winepath -w "$1"; }

# The program's settings file in the prefix's application data (a scratch one: the earlier
# settings of the prefix are put back at the end).
settings_dir="$WINEPREFIX/drive_c/users/$(id -un)/AppData/Roaming/ZentrikSoft"
saved="$work/saved-settings"
if [ -d "$settings_dir" ]; then mv "$settings_dir" "$saved"; fi
mkdir -p "$settings_dir/ZentrikClock"
printf '[Software]\nTdxNotST=true\n\n[Window]\nPosition="700,500"\n' >"$settings_dir/ZentrikClock/ZentrikClock.ini"

app_pid= tdx_pid=
cleanup() {
    if [ -n "$app_pid" ]; then
        wine taskkill /F /IM zentrikclock.exe >/dev/null 2>&1 </dev/null || true
        kill "$app_pid" 2>/dev/null || true
        # Gone before the next test starts one of its own.
        wait "$app_pid" 2>/dev/null || true
    fi
    if [ -n "$tdx_pid" ]; then
        kill "$tdx_pid" 2>/dev/null || true
        wait "$tdx_pid" 2>/dev/null || true
    fi
    rm -rf "$settings_dir"
    if [ -d "$saved" ]; then mv "$saved" "$settings_dir"; fi
}
trap cleanup EXIT

fail() {
    echo "wine-trade: $*" >&2
    echo "--- fake TDX journal:" >&2
    cat "$journal" >&2
    echo "--- program diagnostics ($log):" >&2
    tail -40 "$log" >&2
    exit 1
}

. "$(dirname "$0")/poll.sh"
has() { grep -qs -- "$2" "$1"; }
lines() { grep -cs -- "$2" "$1" || true; }
more_than() { [ "$(lines "$1" "$2")" -gt "$3" ]; }
now_ms() { echo $(($(date +%s%N) / 1000000)); }

started=$(now_ms)
wine "$tdx" --journal "$(win "$journal")" --commands "$(win "$tdx_commands")" \
    --code 600000 --name 浦发银行 --price 10.52 --max 10000 >>"$work/tdx.log" 2>&1 </dev/null &
tdx_pid=$!
poll 20000 has "$journal" '^ready ' || fail "the fake TDX did not start"

ZENTRIK_DEBUG=1 ZENTRIK_SIM_CONTROL=$(win "$control") ZENTRIK_SIM_TRACE=$(win "$trace") \
    wine "$app" --sim-keyboard >>"$log" 2>&1 </dev/null &
app_pid=$!
# The keyboard is greeted by the program.
poll 60000 has "$trace" '^H>D ZK000001 5A F1 00 00 CA' || fail "the program did not greet the keyboard"
echo "switch ZK000001" >>"$control"
poll 30000 has "$log" '交易中' || fail "trading mode did not come on"

# A key, then the client's record of it. The TDX main window is put in front first: the
# keyboard types its hot key into the window in front.
trade() {
    before=$(lines "$journal" "$1")
    fronts=$(lines "$journal" '^front ')
    echo "front" >>"$tdx_commands"
    poll 5000 more_than "$journal" '^front ' "$fronts" || fail "the fake TDX did not come to the front"
    key_at=$(now_ms)
    echo "press ZK000001 13" >>"$control"
    poll 10000 more_than "$journal" "$1" "$before" || fail "$2"
    echo "wine-trade: $3 in $(($(now_ms) - key_at)) ms from the key"
}

trade '^order submitted ' "the 1/3 buy was not placed" "1/3 buy placed"
grep -q '^order submitted buy 600000 浦发银行 10.52 3300 ' "$journal" || fail "the 1/3 buy has the wrong quantity"

echo "stock 600001 ST邯钢 3.50 10000" >>"$tdx_commands"
trade '^closed ' "the ST buy was not refused" "ST buy refused"
[ "$(lines "$journal" '^order ')" -eq 1 ] || fail "an order was placed for the ST stock"
grep -q '^dialog .* 闪电买入$' "$journal" || fail "no order dialog"

echo "wine-trade: 2 trades, $(($(now_ms) - started)) ms in all"
echo "quit" >>"$tdx_commands"
echo "wine-trade: 2 passed, 0 failed"
