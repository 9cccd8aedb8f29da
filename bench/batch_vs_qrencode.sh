#!/bin/sh
# Throughput of `quandrel-qr --batch` against qrencode started once per line through
# `xargs -P $(nproc)`, on the same list of URL-like texts (40 to 120 bytes, the same every time),
# as PNG files at each program's default size, taking turns round after round on the same
# machine. Also -j 1 against -j 2 (and -j N for N cores above 2), a run that replaces the files of
# the run before, and the peak memory of one run. Prints the machine's load before and after: other work on it skews the
# figures.
#
#   sh bench/batch_vs_qrencode.sh [QUANDREL_QR] [ROWS] [ROUNDS]
#
# QUANDREL_QR defaults to build/cli/quandrel-qr, ROWS to 10000, ROUNDS to 5. The files go to a
# temporary folder (TMPDIR), removed at the end.
set -eu
qr=${1:-build/cli/quandrel-qr}
rows=${2:-10000}
rounds=${3:-5}
cores=$(nproc)
command -v qrencode >/dev/null || { echo "qrencode is missing (apt-get install qrencode)"; exit 1; }
[ -x /usr/bin/time ] || { echo "/usr/bin/time is missing (apt-get install time)"; exit 1; }
qr=$(realpath "$qr")

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

# The list: "https://" and a host, then a path of letters, digits and - _ / up to a length drawn
# between 40 and 120 bytes, from a fixed seed.
python3 - "$rows" >list.txt <<'EOF'
import random, sys
r = random.Random(20240612)
hosts = ["example.com", "shop.example.org", "tickets.example.net", "assets.example.io"]
chars = "abcdefghijklmnopqrstuvwxyz0123456789-_/"
for _ in range(int(sys.argv[1])):
    n = r.randint(40, 120)
    base = "https://" + r.choice(hosts) + "/"
    print(base + "".join(r.choice(chars) for _ in range(n - len(base))))
EOF
# qrencode gets each line with its own output name, as three arguments: -o, the name, the text.
awk '{ print "-o"; print NR ".png"; print $0 }' list.txt >args.txt

now() { date +%s.%N; }
# Runs the rest of the line and prints how long it took, in seconds.
timed() {
  start=$(now)
  "$@" >/dev/null 2>&1
  end=$(now)
  awk -v a="$start" -v b="$end" 'BEGIN { print b - a }' 
}
batch() { "$qr" --batch list.txt -o "$1/{n}.png" -j "$2" --quiet; }
# qrencode is started directly by xargs (no shell in between), in the folder of the run.
qrencode_each() { (cd "$1" && xargs -d '\n' -n 3 -P "$cores" qrencode <../args.txt); }

# Every run writes into a folder of its own: removing thousands of files just before a run would
# slow the file system's choice of new inodes for a while (ext4 avoids recently freed ones).
variants="qrencode batch-j1 batch-j2"
[ "$cores" -le 2 ] || variants="$variants batch-j$cores"
variants="$variants batch-replacing"
echo "machine: $cores cores; load before: $(cut -d ' ' -f 1-3 /proc/loadavg)"
echo "list: $rows texts, $(wc -c <list.txt) bytes; $rounds rounds"
: >times.txt
for round in $(seq 1 "$rounds"); do
  for variant in $variants; do
    case $variant in
      batch-replacing) out=out-batch-j2-$round ;;  # the files the run just before wrote
      *) out=out-$variant-$round ;;
    esac
    mkdir -p "$out"
    case $variant in
      qrencode) t=$(timed qrencode_each "$out") ;;
      batch-j1) t=$(timed batch "$out" 1) ;;
      batch-j2) t=$(timed batch "$out" 2) ;;
      batch-j$cores) t=$(timed batch "$out" "$cores") ;;
      batch-replacing) t=$(timed batch "$out" 2) ;;
    esac
    files=$(find "$out" -name '*.png' | wc -l)
    [ "$files" -eq "$rows" ] || { echo "$variant wrote $files files of $rows"; exit 1; }
    echo "$variant $t" >>times.txt
  done
done
echo "load after: $(cut -d ' ' -f 1-3 /proc/loadavg)"

# The median of each variant, its symbols a second and its speed against qrencode.
median() { grep "^$1 " times.txt | cut -d ' ' -f 2 | sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
base=$(median qrencode)
printf '%-18s %10s %12s %10s\n' variant "median s" "symbols/s" "x qrencode"
for variant in $variants; do
  m=$(median "$variant")
  awk -v v="$variant" -v m="$m" -v n="$rows" -v q="$base" 'BEGIN { printf "%-18s %10.3f %12.0f %10.1f\n", v, m, n / m, q / m }' 
done
awk -v a="$(median batch-j1)" -v b="$(median batch-j2)" 'BEGIN { printf "scaling -j 2 / -j 1: %.2f\n", a / b }' 

/usr/bin/time -v "$qr" --batch list.txt -o "out-mem/{n}.png" --quiet 2>time.txt >/dev/null
echo "peak memory of one run (-j $cores): $(grep 'Maximum resident' time.txt | awk '{ print $NF }') KiB"
