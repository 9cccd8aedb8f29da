#!/bin/sh
# Packs the program's PNG icons into one .ico file: an icon directory whose entries are the PNG
# files themselves, 32 bits per pixel, as Windows reads icons since Vista.
#
#   sh win32/make-icon.sh OUTPUT.ico SIZE:FILE.png...
set -eu
out=$1
shift
# byte N: one byte of value N; le16/le32: little-endian numbers.
byte() { printf "\\$(printf '%03o' "$1")"; }
le16() { byte $(($1 & 255)); byte $(($1 >> 8 & 255)); }
le32() { le16 $(($1 & 65535)); le16 $(($1 >> 16 & 65535)); }
{
  le16 0
  le16 1
  le16 $#
  offset=$((6 + 16 * $#))
  for entry in "$@"; do
    size=${entry%%:*}
    file=${entry#*:}
    length=$(wc -c <"$file")
    side=$((size == 256 ? 0 : size))  # 0 stands for 256
    byte $side
    byte $side
    byte 0
    byte 0
    le16 1
    le16 32
    le32 "$length"
    le32 "$offset"
    offset=$((offset + length))
  done
  for entry in "$@"; do cat "${entry#*:}"; done
} >"$out.new"
mv "$out.new" "$out"
