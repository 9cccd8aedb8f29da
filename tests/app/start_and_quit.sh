#!/bin/sh
# Starts the window program on Qt's offscreen platform, waits until its window is up (it catches
# SIGTERM from then on), sends SIGTERM and expects a clean end: exit status 0 within 20 s.
#
#   sh start_and_quit.sh PROGRAM
set -u
program=$1
QT_QPA_PLATFORM=offscreen "$program" &
pid=$!

field() { sed -n "s/^$1:[[:space:]]*//p" "/proc/$pid/status" 2>/dev/null; }
# SigCgt is the mask of caught signals; SIGTERM (15) is bit 14.
catches_term() { mask=$(field SigCgt) && [ -n "$mask" ] && [ $((0x$mask >> 14 & 1)) -eq 1 ]; }
# The program has ended: it is gone or a zombie waiting for us.
ended() { ! kill -0 "$pid" 2>/dev/null || field State | grep -q '^Z'; }
# within TEST: runs TEST every 0.1 s until it succeeds or 20 s have passed.
within() {
    tries=0
    until "$1"; do
        tries=$((tries + 1))
        [ "$tries" -le 200 ] || return 1
        sleep 0.1
    done
}
give_up() {
    kill -KILL "$pid" 2>/dev/null
    echo "start_and_quit: $program $1" >&2
    exit 1
}

up_or_ended() { catches_term || ended; }
within up_or_ended || give_up "did not bring up its window within 20 s"
if ended; then
    wait "$pid"
    echo "start_and_quit: $program ended on its own, status $?" >&2
    exit 1
fi
kill -TERM "$pid"
within ended || give_up "did not end within 20 s of SIGTERM"
wait "$pid"
status=$?
if [ "$status" -ne 0 ]; then
    echo "start_and_quit: $program ended with status $status after SIGTERM" >&2
    exit 1
fi
echo "start_and_quit: $program started and quit"
