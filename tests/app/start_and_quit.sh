#!/bin/sh
# Starts the window program on Qt's offscreen platform, waits until its window is up (it catches
# SIGTERM from then on), sends SIGTERM and expects a clean end: exit status 0 within 20 s.
#
#   sh start_and_quit.sh PROGRAM
set -u
program=$1
QT_QPA_PLATFORM=offscreen "$program" &
pid=$!

# SigCgt in /proc/PID/status is the mask of caught signals; SIGTERM (15) is bit 14.
caught() {
    mask=$(sed -n 's/^SigCgt:[[:space:]]*//p' "/proc/$pid/status" 2>/dev/null) || return 1
    [ -n "$mask" ] && [ $((0x$mask >> 14 & 1)) -eq 1 ]
}
tries=0
until caught; do
    if ! kill -0 "$pid" 2>/dev/null; then
        wait "$pid"
        echo "start_and_quit: $program ended on its own, status $?" >&2
        exit 1
    fi
    tries=$((tries + 1))
    if [ "$tries" -gt 200 ]; then
        kill -KILL "$pid"
        echo "start_and_quit: $program did not bring up its window within 20 s" >&2
        exit 1
    fi
    sleep 0.1
done

kill -TERM "$pid"
tries=0
while kill -0 "$pid" 2>/dev/null && [ "$(sed -n 's/^State:[[:space:]]*\(.\).*/\1/p' "/proc/$pid/status" 2>/dev/null)" != Z ]; do
    tries=$((tries + 1))
    if [ "$tries" -gt 200 ]; then
        kill -KILL "$pid"
        echo "start_and_quit: $program did not end within 20 s of SIGTERM" >&2
        exit 1
    fi
    sleep 0.1
done
wait "$pid"
status=$?
if [ "$status" -ne 0 ]; then
    echo "start_and_quit: $program ended with status $status after SIGTERM" >&2
    exit 1
fi
echo "start_and_quit: $program started and quit"
