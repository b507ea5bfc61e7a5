#!/bin/sh
# The Windows program under Wine, on the test command's X display, with the server of the
# wine_prefix fixture:
#   wine-app.sh demo <zentrikclock.exe> <screenshot.png>
#       starts the program in demo mode, waits for its clock window, photographs the screen,
#       checks that the clock's time is drawn in the clock's colour, and ends the program the way
#       Windows does at a user's request (WM_CLOSE to its windows), which it must obey with exit
#       code 0
#   wine-app.sh installer <setup.exe> <screenshot.png>
#       installs silently into a fresh folder, checks the installed files and the start-menu
#       entry, does the demo check above with the installed program, uninstalls silently and
#       checks that everything is gone
set -eu
what=$1 program=$2 shot=$3
if [ -z "${DISPLAY:-}" ]; then
    echo "wine-app: no X display; run the tests under xvfb-run (scripts/test does)" >&2
    exit 1
fi
: "${WINEPREFIX:?}"
log="$shot.log"
: >"$log"

fail() {
    echo "wine-app: $*" >&2
    echo "--- program output ($log):" >&2
    tail -20 "$log" >&2
    exit 1
}

. "$(dirname "$0")/poll.sh"

# The clock's title is "clock", which Qt on Windows shows followed by the program's display name;
# Wine names the X window of a top-level window after its title.
clock_window() {
    window=$(xwininfo -root -tree 2>/dev/null | awk '/^ *0x[0-9a-f]+ "clock( - [^"]*)?": \("zentrikclock.exe"/ { print $1; exit }')
    [ -n "$window" ]
}

running() {
    # Not "kill -0": the ended program stays a zombie until waited for.
    ps -o stat= -p "$pid" 2>/dev/null | grep -qv '^Z'
}

stopped() {
    ! running
}

# The clock shows the time in its font colour (255,0,127 until the user picks another): the
# clock window's area of the screen must hold a good number of pixels of that colour, which
# nothing else on the demo's screen uses.
clock_drawn() {
    import -window root "$shot"
    geometry=$(xwininfo -id "$window" | awk '
        /Absolute upper-left X/ { x = $NF } /Absolute upper-left Y/ { y = $NF }
        /Width:/ { w = $NF } /Height:/ { h = $NF }
        END { printf "%dx%d+%d+%d", w, h, x, y }')
    clock_pixels=$(convert "$shot" -crop "$geometry" +repage -fuzz 12% \
        -fill black +opaque "rgb(255,0,127)" -fill white -opaque "rgb(255,0,127)" \
        -format "%[fx:round(mean*w*h)]" info:)
    [ "$clock_pixels" -ge 150 ]
}

no_clock_window() {
    ! clock_window
}

run_demo() {
    exe=$1
    # A clock of another test's program still on screen would be taken for this one's.
    poll 10000 no_clock_window || fail "a clock window of another run is still on screen"
    started=$(date +%s%N)
    wine "$exe" --demo >>"$log" 2>&1 </dev/null &
    pid=$!
    poll 60000 clock_window || { running && kill "$pid"; fail "no clock window within 60 s"; }
    echo "wine-app: clock window after $(( ($(date +%s%N) - started) / 1000000 )) ms"
    # The window may be mapped before its first paint.
    poll 10000 clock_drawn || { running && kill "$pid"; fail "the clock's time is not on screen (see $shot)"; }
    echo "wine-app: clock drawn after $(( ($(date +%s%N) - started) / 1000000 )) ms:" \
         "$clock_pixels pixels in the clock's colour in its window $geometry"
    running || fail "the program ended after showing its clock"
    # taskkill without /F posts WM_CLOSE to the program's windows.
    wine taskkill /IM zentrikclock.exe >>"$log" 2>&1 </dev/null || fail "taskkill failed"
    poll 30000 stopped || { kill "$pid"; fail "the program did not end within 30 s of WM_CLOSE"; }
    status=0
    wait "$pid" || status=$?
    [ "$status" -eq 0 ] || fail "the program ended with exit code $status"
}

case $what in
demo)
    run_demo "$program"
    ;;
installer)
    target='C:\zk-installer-test\ZentrikClock'
    dir=$(winepath -u "$target" 2>/dev/null)
    rm -rf "$(dirname "$dir")"
    started=$(date +%s)
    # NSIS takes /D= last and unquoted.
    wine "$program" /S /D=$target >>"$log" 2>&1 </dev/null || fail "the installer failed"
    echo "wine-app: installed in $(( $(date +%s) - started )) s"
    for f in zentrikclock.exe qt.conf uninstall.exe Qt5Core.dll Qt5Gui.dll Qt5Widgets.dll \
             Qt5Network.dll Qt5Sql.dll Qt5Multimedia.dll libstdc++-6.dll libwinpthread-1.dll \
             platforms/qwindows.dll sqldrivers/qsqlite.dll audio/qtaudio_windows.dll; do
        [ -f "$dir/$f" ] || fail "not installed: $f"
    done
    menu="$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/灵拓键盘专业版"
    [ -f "$menu/灵拓键盘专业版.lnk" ] || fail "no start-menu entry in $menu"
    uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\ZentrikClock'
    wine reg query "$uninstall_key" >/dev/null 2>&1 </dev/null || fail "no uninstall entry"
    run_demo "$dir/zentrikclock.exe"
    started=$(date +%s)
    # The uninstaller copies itself away and runs from there, so its end is the files' going.
    wine "$dir/uninstall.exe" /S >>"$log" 2>&1 </dev/null || fail "the uninstaller failed"
    gone() { [ ! -e "$dir" ] && [ ! -e "$menu" ]; }
    poll 60000 gone || fail "left behind after uninstalling: $(ls -A "$dir" "$menu" 2>&1 | tr '\n' ' ')"
    if wine reg query "$uninstall_key" >/dev/null 2>&1 </dev/null; then
        fail "the uninstall entry is still registered"
    fi
    echo "wine-app: uninstalled in $(( $(date +%s) - started )) s"
    ;;
*)
    echo "usage: wine-app.sh demo|installer <program> <screenshot.png>" >&2
    exit 2
    ;;
esac
