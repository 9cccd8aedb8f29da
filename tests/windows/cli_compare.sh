#!/bin/sh
# quandrel-qr.exe under Wine against the Linux quandrel-qr, for one table of argument sets: the
# same exit status, the same standard output and error byte for byte, the same files. Then every
# file type the Windows program writes is read back by zbarimg, after the rasteriser a user's
# viewer would stand for (rsvg-convert for SVG, Ghostscript for EPS, pdftoppm for PDF; the matrix
# text drawn as a PBM).
#
#   sh tests/windows/cli_compare.sh LINUX-QUANDREL-QR BUILD-WIN
set -eu
linux=$(realpath "$1")
build=$(cd "$2" && pwd)
root=$(cd "$(dirname "$0")/../.." && pwd)
windows="$build/cli/quandrel-qr.exe"
work=$(mktemp -d "$build/cli-compare.XXXXXX")
trap 'rm -rf "$work"' EXIT
failures=0
cases=0
skipped=0

fail() {
  echo "cli compare: $*" >&2
  failures=$((failures + 1))
}

# run SIDE INPUT ARG...: the program of SIDE (linux or windows) in the folder $work/SIDE, standard
# input from the file INPUT (/dev/null for none), its output, error and status beside.
run() {
  side=$1
  input=$2
  shift 2
  rm -rf "$work/$side"
  mkdir -p "$work/$side/files"
  status=0
  if [ "$side" = linux ]; then
    (cd "$work/$side/files" && "$linux" "$@") <"$input" >"$work/$side/out" 2>"$work/$side/err" || status=$?
  else
    (cd "$work/$side/files" && sh "$root/cmake/wine.sh" "$build" "$windows" "$@") <"$input" >"$work/$side/out" 2>"$work/$side/err" ||
      status=$?
  fi
  echo "$status" >"$work/$side/status"
}

# check NAME INPUT ARG...: both programs with the arguments and standard input INPUT (a file, or
# - for none), run in an empty folder each; their status, output, error and files must agree.
check() {
  name=$1
  input=$2
  shift 2
  [ "$input" != - ] || input=/dev/null
  cases=$((cases + 1))
  run linux "$input" "$@"
  run windows "$input" "$@"
  # A type whose library this Windows build lacks is refused with its message, status 1 and no file.
  if grep -q 'is not part of quandrel-qr for Windows' "$work/windows/err"; then
    skipped=$((skipped + 1))
    echo "cli compare: $name: $(sed 's/^quandrel-qr: //' "$work/windows/err" | tail -n 1)"
    [ "$(cat "$work/windows/status")" = 1 ] || fail "$name: status $(cat "$work/windows/status") for a missing library"
    [ -z "$(ls "$work/windows/files")" ] || fail "$name: files made without the library: $(ls "$work/windows/files")"
    return
  fi
  for part in status out err; do
    cmp -s "$work/linux/$part" "$work/windows/$part" ||
      fail "$name: the $part differs: Linux $(head -c 200 "$work/linux/$part" | cat -v), Windows $(head -c 200 "$work/windows/$part" | cat -v)"
  done
  diff -r "$work/linux/files" "$work/windows/files" >/dev/null ||
    fail "$name: the files differ: $(ls "$work/linux/files" | tr '\n' ' ')/ $(ls "$work/windows/files" | tr '\n' ' ')"
  [ -z "${QUANDREL_COMPARE_VERBOSE:-}" ] || echo "$name: status $(cat "$work/linux/status"), $(wc -c <"$work/linux/out") bytes out, $(wc -c <"$work/linux/err") bytes of messages"
}

# check_file_error NAME PATH ARG...: a file that cannot be made is said with the full path and
# the system's reason, which differ between the systems (Z:\\...\\files\\PATH and "Path not
# found" on Windows, its backslashes escaped as every backslash in a message is): the same status
# and output, one line "Cannot create file" each, each naming the file in its own form.
check_file_error() {
  name=$1
  path=$2
  shift 2
  cases=$((cases + 1))
  run linux /dev/null "$@"
  run windows /dev/null "$@"
  cmp -s "$work/linux/status" "$work/windows/status" || fail "$name: status $(cat "$work/linux/status") on Linux, $(cat "$work/windows/status") on Windows"
  cmp -s "$work/linux/out" "$work/windows/out" || fail "$name: the output differs"
  windows_path="files$(printf '%s' "${path:+/$path}" | sed 's|/|\\\\|g')"
  for side in linux windows; do
    [ "$(wc -l <"$work/$side/err")" = 1 ] || fail "$name: $side says $(cat -v "$work/$side/err")"
  done
  grep -q "^quandrel-qr: Cannot create file \"/.*/files${path:+/$path}\"\. ." "$work/linux/err" ||
    fail "$name: Linux says $(cat "$work/linux/err")"
  grep -qF "$windows_path\". " "$work/windows/err" && grep -q '^quandrel-qr: Cannot create file "Z:\\\\' "$work/windows/err" ||
    fail "$name: Windows says $(cat "$work/windows/err")"
}

inputs="$work/inputs"
mkdir -p "$inputs"
printf 'Olá, ação\nsegunda linha\n' >"$inputs/text"
printf 'caf\351\n' >"$inputs/latin1"
printf '\357\273\277BOM first' >"$inputs/bom"
head -c 5000 /dev/zero | tr '\0' 'a' >"$inputs/long"
: >"$inputs/empty"
printf 'TICKET-1\nsegunda linha\r\n\nOlá, ação\nlast' >"$inputs/list"
printf 'sku,label,url\n1001,"Nut, M6",https://shop.example/p/1001\n1002,"Olá ação",https://shop.example/p/1002\n' \
  >"$inputs/stock.csv"
{ printf 'short\n'; head -c 5000 /dev/zero | tr '\0' 'a'; printf '\nafter\n'; } >"$inputs/failing"

# Every output type, to standard output and to a file, with the options that change the drawing.
check "utf8 preview" - hello
check "ascii" - -t ascii 'Olá'
check "matrix" - -t matrix -l H 12345
check "svg" - -t svg -s 5 --foreground 336699 --background FFFFFF80 'svg text'
check "eps" - -t eps -s 2 -m 2 'eps text'
check "png to -o -" - -t png -o - 'png to standard output'
check "png file" - -o out.png -s 4 --dpi 300 --foreground 102030 --background F0E0D0 'png file'
check "png transparent" - -o out.png --background FFFFFF00 transparent
check "pdf file" - -o out.pdf -s 3 'pdf file'
check "jpeg file" - -o out.jpg 'Olá, ação'
check "jpeg by default" - -o noextension 'jpeg without extension'
check "txt file" - -o out.txt 'text file'
check "svg file" - -o Out.SVG 'upper case extension'
check "eps to -o -" - -o - -t eps dash
check "name beyond ASCII" - -o 'ação 😀 漢字.svg' 'file name'

check_file_error "folder missing" missing/out.svg -o missing/out.svg 'no folder'
check_file_error "folder as -o" "" -o . 'a folder'
# Encodings, levels, masks and versions; non-ASCII text and characters beyond the BMP, which
# Windows passes as surrogate pairs.
check "numeric" - --encoding numeric -t matrix '12a34'
check "alphanumeric" - --encoding alphanumeric -t matrix 'HELLO world'
check "latin1" - --encoding latin1 -t matrix 'ação €'
check "eci" - --eci -t matrix 'ação'
check "astral" - -t matrix 'emoji 😀 𝄞'
check "kanji" - --kanji -t matrix '漢字テスト'
check "version and mask" - -v 10 --mask 3 -l Q -t matrix fixed
check "micro" - --micro -t matrix 123
check "symbols" - --symbols 3 -o part{s}.png 'a text split over three symbols'
check "info" - --info -t matrix 'what is chosen'
check "info optimize" - --info --optimize -t matrix 'ABC123abc'
# Standard input.
check "stdin text" "$inputs/text" -t matrix
check "stdin crlf" "$inputs/text" --crlf -t matrix
check "stdin bom" "$inputs/bom" -t matrix
check "stdin empty" "$inputs/empty" -t matrix
check "stdin not utf8" "$inputs/latin1" -t matrix
check "stdin png" "$inputs/text" -t png -o -
# Payloads.
check "wifi" - wifi --ssid 'Café net' --password 'p@ss;word' -t matrix
check "vcard" - vcard --name 'Ana Souza' --tel '+351 912 345 678' -t matrix
check "geo" - geo --lat 38.7223 --lon -9.1393 -t matrix
check "epc" - epc --name 'Red Cross' --iban DE89370400440532013000 --amount 12.50 -t matrix
check "wifi refused" - wifi --ssid '' -t matrix
# Help, version, warnings and refusals, with their messages and statuses.
check "help" - --help
check "version" - --version
check "wifi help" - wifi --help
check "low contrast" - -t svg --foreground 777777 --background 888888 grey
check "small quiet zone" - -t svg -m 1 margin
check "too long" "$inputs/long" -l H -v 5 -t matrix
check "level refused" - -l Z text
check "unknown option" - --no-such-option text
check "type refused" - -t gif text
check "two texts" - one two
check "pdf too large" - -o big.pdf -s 1000 large
check "batch without template" - --batch list.txt
check "csv without batch" - --csv text
check "template without batch" - -o 'x{n}.svg' text
check "verify" - --verify -t svg 'read back'
check "verify png" - --verify -o out.png 'read back'
check "verify refused type" - --verify -t utf8 --micro 1

# The batch: a list on standard input (LF, CR LF, an empty line, no last line end), CSV with names
# from a column into folders it makes, a row too long for a symbol that fails alone, and the
# files the same whatever the workers.
check "batch svg" "$inputs/list" --batch - -o 'out/{n:03}.svg'
check "batch png one worker" "$inputs/list" --batch - -o 'out/{n}.png' -j 1 -s 2
check "batch png four workers" "$inputs/list" --batch - -o 'out/{n}.png' -j 4 -s 2
check "batch csv names" "$inputs/stock.csv" --batch - --csv --header --column url --name-column label -o 'labels/{n:04}-{name}.eps'
check "batch failing row" "$inputs/failing" --batch - -o '{n}.txt' -t matrix

echo "cli compare: $cases argument sets, $skipped of them for a library this build lacks; Linux and Windows differ in $failures"

# Every file type of the Windows program, read back by zbar.
decoded=0
# decode NAME PICTURE: zbar must read the picture as exactly $text.
decode() {
  if ! zbarimg -q --raw -Sbinary "$2" >"$work/decoded" 2>/dev/null; then
    fail "$1: zbar finds no symbol"
    return
  fi
  printf '%s' "$text" >"$work/expected"
  cmp -s "$work/decoded" "$work/expected" || fail "$1: zbar reads $(cat -v "$work/decoded")"
  decoded=$((decoded + 1))
}
text='Olá, ação 😀'
# made ARG...: true when the Windows program makes $work/windows/files/out.* of $text; a type
# whose library the build lacks is said and passed over.
made() {
  run windows /dev/null "$@" "$text"
  status=$(cat "$work/windows/status")
  [ "$status" != 0 ] || return 0
  if grep -q 'is not part of quandrel-qr for Windows' "$work/windows/err"; then
    echo "cli compare: not read back: $(sed 's/^quandrel-qr: //' "$work/windows/err" | tail -n 1)"
  else
    fail "$*: status $status: $(cat "$work/windows/err")"
  fi
  return 1
}
if made --eci -s 4 -o out.png; then
  decode png "$work/windows/files/out.png"
fi
if made --eci -s 4 -o out.svg; then
  rsvg-convert -o "$work/svg.png" "$work/windows/files/out.svg" && decode svg "$work/svg.png" || fail "rsvg-convert failed"
fi
if made --eci -s 3 -o out.eps; then
  gs -q -dSAFER -dBATCH -dNOPAUSE -dEPSCrop -sDEVICE=pnggray -r144 -o "$work/eps.png" "$work/windows/files/out.eps" &&
    decode eps "$work/eps.png" || fail "gs failed"
fi
if made --eci -s 3 -o out.pdf; then
  pdftoppm -r 144 -gray -png -singlefile "$work/windows/files/out.pdf" "$work/pdf" && decode pdf "$work/pdf.png" ||
    fail "pdftoppm failed"
fi
if made --eci -o out.jpg; then
  decode jpeg "$work/windows/files/out.jpg"
fi
# The matrix text: 'X' dark, '.' light, without its quiet zone, drawn 4 pixels a module with one.
if made --eci -t matrix -o out.txt; then
  awk -v quiet=4 -v scale=4 '
    { rows[NR] = $0 }
    END {
      n = length(rows[1]); side = (n + 2 * quiet) * scale
      printf "P1\n%d %d\n", side, side
      for (y = 0; y < side; y++) {
        r = int(y / scale) - quiet + 1
        line = ""
        for (x = 0; x < side; x++) {
          c = int(x / scale) - quiet + 1
          line = line ((r >= 1 && r <= n && c >= 1 && c <= n && substr(rows[r], c, 1) == "X") ? "1" : "0")
        }
        print line
      }
    }' "$work/windows/files/out.txt" >"$work/matrix.pbm"
  decode matrix "$work/matrix.pbm"
fi
echo "cli compare: zbar reads $decoded file types of the Windows program back as the text (png svg eps pdf jpeg matrix)"

[ "$failures" -eq 0 ]
