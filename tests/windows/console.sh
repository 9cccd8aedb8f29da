#!/bin/sh
# quandrel-qr.exe on a console: Wine's console on a pseudo-terminal (script), as a user's cmd
# window would be. The terminal preview arrives as the Linux program's UTF-8 blocks, the console's
# code page is the one it had after the run, a binary type is refused on the console by any
# name that leads there, and a text typed into the console is the text the symbol holds.
#
#   sh tests/windows/console.sh LINUX-QUANDREL-QR BUILD-WIN
set -eu
linux=$(realpath "$1")
build=$(cd "$2" && pwd)
root=$(cd "$(dirname "$0")/../.." && pwd)
work=$(mktemp -d "$build/console.XXXXXX")
trap 'rm -rf "$work"' EXIT
windows=$(sh "$root/cmake/wine.sh" "$build" winepath -w "$build/cli/quandrel-qr.exe" 2>/dev/null)
code_page=$(sh "$root/cmake/wine.sh" "$build" winepath -w "$build/tests/console_code_page.exe" 2>/dev/null)
failures=0
fail() {
  echo "console: $*" >&2
  failures=$((failures + 1))
}

# on_console COMMAND: what cmd shows on the terminal for COMMAND (no quotes: Wine's cmd /c
# splits a quoted argument at its spaces), its control sequences and carriage returns taken out,
# in $work/shown.
on_console() {
  (cd "$work" && script -qc "sh '$root/cmake/wine.sh' '$build' cmd /c '$1'" /dev/null) </dev/null >"$work/raw" || true
  sed 's/\x1b\[[?0-9;]*[a-zA-Z]//g; s/\r//g; s/ *$//' "$work/raw" >"$work/shown"
}

# The preview: the Linux program's lines, character for character.
"$linux" -t utf8 console-preview | sed 's/ *$//' >"$work/expected"
on_console "$windows -t utf8 console-preview"
grep -v '^$' "$work/shown" >"$work/preview" || true
cmp -s "$work/preview" "$work/expected" || fail "the preview shows $(head -n 2 "$work/preview")"

# The code page before and after a run in the same console.
on_console "$code_page & $windows -t utf8 x & $code_page"
before=$(grep -E '^[0-9]+$' "$work/shown" | head -n 1)
after=$(grep -E '^[0-9]+$' "$work/shown" | tail -n 1)
[ -n "$before" ] && [ "$before" != 65001 ] || fail "the console's code page was ${before:-not shown} before the run"
[ "$before" = "$after" ] || fail "the console's code page was $before before the run and $after after it"

# A binary type, to the console by any name: refused, status 2, no file.
for output in "" "-o CON" "-o CONOUT\$" "-o con.png" "-o sub\\CON.jpg"; do
  on_console "$windows $output -t png refused & echo status %errorlevel%"
  grep -q '^quandrel-qr: will not write a binary picture to a terminal; use -o FILE$' "$work/shown" &&
    grep -q '^status 2$' "$work/shown" || fail "${output:-standard output}: $(cat "$work/shown")"
done
[ -z "$(ls "$work" | grep -v -e '^raw$' -e '^shown$' -e '^expected$' -e '^preview$')" ] || fail "files made: $(ls "$work")"

# Two lines typed, then Ctrl+Z and Enter: the symbol of the two lines with LF line ends, as a
# Linux terminal gives them. The terminal's own Ctrl+Z (suspend) is turned off, so that the
# console gets it as a Windows console would; the keys are typed once the program runs, and the
# terminal is kept open until it has written its file.
printf 'Olá\ntyped\n' | "$linux" -t matrix --eci -o "$work/expected-typed.txt"
{
  sleep 2
  printf 'Ol\303\241\r'
  printf 'typed\r'
  printf '\032\r'
  waited=0
  while [ ! -s "$work/typed.txt" ] && [ "$waited" -lt 60 ]; do sleep 1; waited=$((waited + 1)); done
  sleep 1
} | (cd "$work" && script -qc "stty susp undef; sh '$root/cmake/wine.sh' '$build' '$build/cli/quandrel-qr.exe' -t matrix --eci -o typed.txt" /dev/null) >"$work/raw" || true
cmp -s "$work/typed.txt" "$work/expected-typed.txt" || fail "the typed text made $(head -c 200 "$work/typed.txt" 2>/dev/null | head -n 2)"

echo "console: the preview, the code page, the refusals of binary types and typed input on a console checked ($failures failures)"
[ "$failures" -eq 0 ]
