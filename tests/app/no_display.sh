#!/bin/sh
# With no display to open, the window program says so in one line on standard error and ends
# with status 1 (Qt alone aborts, 134): an X display whose server is not running, and Wayland
# asked for with no compositor.
#
#   sh no_display.sh PROGRAM
set -u
program=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -m 700 "$work/runtime"

# A display number that has no server: no socket, no lock file.
n=77
while [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ]; do n=$((n + 1)); done

failures=0
# expect NAME ENV...: runs the program with ENV and checks its status and its one line.
expect() {
    name=$1; shift
    env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM -u XDG_SESSION_TYPE \
        XDG_RUNTIME_DIR="$work/runtime" "$@" "$program" >"$work/out" 2>"$work/err" </dev/null
    status=$?
    lines=$(wc -l <"$work/err")
    if [ "$status" -ne 1 ] || [ "$lines" -ne 1 ] ||
       ! grep -q '^quandrel-qr-code: no display could be opened' "$work/err" || [ -s "$work/out" ]; then
        echo "no_display: $name: status $status, $lines lines on standard error:" >&2
        cat "$work/err" >&2
        failures=$((failures + 1))
    else
        echo "no_display: $name: $(cat "$work/err")"
    fi
}
expect "X server not running" DISPLAY=":$n"
expect "xcb asked for" DISPLAY=":$n" QT_QPA_PLATFORM=xcb
expect "no DISPLAY at all"
expect "Wayland without a compositor" QT_QPA_PLATFORM=wayland
[ "$failures" -eq 0 ]
