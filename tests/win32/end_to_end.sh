#!/bin/sh
# quandrel-qr-code.exe as a user meets it, under Wine on the display $DISPLAY: the focus starts on
# "Sair", two Tabs reach the text box, a text with accents is typed, the window is captured and
# zbar decodes the symbol to the text's UTF-8 bytes; then "Gravar" (Shift+Tab, Enter), a name is
# typed into the real save dialog with Enter, and the file is the JPEG that the Linux program
# writes for the same text (build/cli/quandrel-qr or $QUANDREL_LINUX_CLI, when there); Space on
# "Sair" (Shift+Tab) ends the program with exit status 0.
#
#   sh tests/win32/end_to_end.sh BUILD-WIN
set -eu
build=$(cd "$1" && pwd)
root=$(cd "$(dirname "$0")/../.." && pwd)
work=$(mktemp -d "$build/end-to-end.XXXXXX")
program_pid=
# On a failure the program may still run, with Wine's helpers: every process of the build's own
# Wine prefix is ended, so that none outlives the test.
cleanup() {
  [ -z "$program_pid" ] || WINEPREFIX="$build/wine" /usr/lib/wine/wineserver64 -k 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
text='Olá, ação'
fail() { echo "end to end: $*" >&2; exit 1; }

start=$(date +%s.%N)
(sh "$root/cmake/wine.sh" "$build" explorer /desktop=quandrel,1000x700 "$build/win32/quandrel-qr-code.exe"; echo $? >"$work/status") &
program_pid=$!
xdotool search --sync --name 'Quandrel QR Code - por' >/dev/null
shown=$(date +%s.%N)
echo "end to end: the window is shown $(awk "BEGIN { printf \"%.2f\", $shown - $start }") s after the start"
sleep 1
xdotool key Tab Tab
xdotool type --delay 60 "$text"
sleep 1
import -window root "$work/screen.png"
printf '%s' "$text" >"$work/expected.txt"
zbarimg -q --raw -Sbinary "$work/screen.png" >"$work/decoded.txt" || fail "zbar finds no symbol on the screen"
cmp -s "$work/decoded.txt" "$work/expected.txt" || fail "decoded $(od -c "$work/decoded.txt")"
echo "end to end: zbar decodes the window's symbol to the typed text"

# "Gravar", and a file name typed into the dialog without its extension.
xdotool key shift+Tab Return
sleep 2
winepath=$(WINEPREFIX="$build/wine" HOME="$build/wine-home" WINEDEBUG=-all /usr/lib/wine/wine64 winepath -w "$work" 2>/dev/null | tr -d '\r')
xdotool type --delay 20 "$winepath\\saved"
xdotool key Return
for _ in 1 2 3 4 5 6 7 8 9 10; do [ -s "$work/saved.jpg" ] && break; sleep 1; done
[ -s "$work/saved.jpg" ] || fail "no saved.jpg after Gravar"
linux=${QUANDREL_LINUX_CLI:-$root/build/cli/quandrel-qr}
if [ -x "$linux" ]; then
  "$linux" -o "$work/linux.jpg" "$text"
  cmp "$work/saved.jpg" "$work/linux.jpg" || fail "the saved file differs from the Linux program's"
  echo "end to end: the saved file is byte for byte the Linux program's ($(wc -c <"$work/saved.jpg") bytes)"
else
  echo "end to end: no Linux build in $root/build; the saved file is not compared with it"
fi

sleep 1
xdotool key shift+Tab space
wait "$program_pid" || true
program_pid=
[ "$(cat "$work/status")" = 0 ] || fail "exit status $(cat "$work/status")"
echo "end to end: Space on Sair ends the program with exit status 0"
