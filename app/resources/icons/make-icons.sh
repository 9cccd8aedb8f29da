#!/bin/sh
# Draws the program's QR-like icon (three finder patterns and a few data modules, one light module
# of margin) at 16, 32, 48, 64, 128 and 256 pixels, black on white, 32 bits per pixel.
# Needs ImageMagick. Run from this folder; the PNGs it writes are kept in the repository.
set -eu
PATTERN='
................
.#####..#.#####.
.#...#.##.#...#.
.#.#.#..#.#.#.#.
.#...#.#..#...#.
.#####.##.#####.
.......#........
.#.##.#..##.#.#.
..#..##.#.##..#.
.......#.##.#.#.
.#####.#.#.##.#.
.#...#..##.#..#.
.#.#.#.#..###.#.
.#...#.##.#..##.
.#####.#.##.#.#.
................'
PBM=$(mktemp --suffix=.pbm)
trap 'rm -f "$PBM"' EXIT
{
    echo P1
    echo 16 16
    echo "$PATTERN" | sed -e '/^$/d' -e 's/\./0 /g' -e 's/#/1 /g'
} >"$PBM"
for SIZE in 16 32 48 64 128 256; do
    convert "$PBM" -filter point -resize "${SIZE}x${SIZE}" -strip "PNG32:quandrel-qr-${SIZE}.png"
done
