#!/bin/sh
# Copies a text file with CR LF line ends, as Windows' Notepad and its other editors expect:
#   sh crlf.sh IN OUT
set -eu
sed 's/\r*$/\r/' "$1" >"$2.new"
mv "$2.new" "$2"
