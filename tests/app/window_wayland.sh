#!/bin/sh
# Runs a window test program on a headless Weston of its own (software rendering, its socket in
# a runtime folder of its own), and stops the compositor afterwards. Skipped (77) only when
# Weston is not installed or does not start.
#
#   sh window_wayland.sh PROGRAM
set -u
program=$1
command -v weston >/dev/null 2>&1 || { echo "window_wayland: skipped: weston is not installed"; exit 77; }
runtime=$(mktemp -d)
chmod 700 "$runtime"
weston_pid=
finish() {
    [ -n "$weston_pid" ] && kill "$weston_pid" 2>/dev/null && wait "$weston_pid" 2>/dev/null
    rm -rf "$runtime"
}
trap finish EXIT
XDG_RUNTIME_DIR="$runtime" weston --backend=headless-backend.so --use-pixman --socket=wayland-test \
    --width=1024 --height=768 --idle-time=0 >"$runtime/weston.log" 2>&1 &
weston_pid=$!
tries=0
until [ -S "$runtime/wayland-test" ]; do
    tries=$((tries + 1))
    if [ "$tries" -gt 100 ] || ! kill -0 "$weston_pid" 2>/dev/null; then
        echo "window_wayland: skipped: weston did not start:" >&2
        cat "$runtime/weston.log" >&2
        exit 77
    fi
    sleep 0.1
done
# Under LeakSanitizer, Qt's Wayland client leaves a few allocations of libwayland-client and of
# a library it loads and unloads again, which no suppression can name: leaks go unchecked in
# this one program (the offscreen window tests check them), memory errors do not.
ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0" \
XDG_RUNTIME_DIR="$runtime" WAYLAND_DISPLAY=wayland-test QT_QPA_PLATFORM=wayland "$program"
