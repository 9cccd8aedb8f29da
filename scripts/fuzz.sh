#!/bin/sh
# Builds the libFuzzer targets with clang (ASan + UBSan, LSan at exit and after every input) and
# runs each for SECONDS seconds (default 60) from its seed corpus in fuzz/corpus/. The corpus is
# copied to a temporary folder first, so the checked-in one does not grow. A fixed -seed makes
# the mutations repeatable. Inputs that fail are kept in build-fuzz-run/artifacts/.
#
#   sh scripts/fuzz.sh [SECONDS]
set -eu
cd "$(dirname "$0")/.."
seconds=${1:-60}
build=build-fuzz-run
targets="encoder textpath jpeg formats cliargs batchname payload"

sh scripts/deps.sh
# CC and CXX only take effect when the folder is configured for the first time.
CC=clang CXX=clang++ cmake -S . -B "$build" -DQUANDREL_FUZZ=ON -DQUANDREL_BENCH=OFF \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j"$(nproc)" --target $(for t in $targets; do printf 'fuzz_%s ' "$t"; done)

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
artifacts="$(pwd)/$build/artifacts"
mkdir -p "$artifacts"
failed=""
for t in $targets; do
  cp -R "fuzz/corpus/$t" "$work/$t"
  echo "fuzz_$t: ${seconds} s from $(ls "fuzz/corpus/$t" | wc -l) seeds"
  # Leaks inside the system's font library (Qt's font fallback for unusual characters) are
  # suppressed as in the test suite; see scripts/lsan.supp.
  if QT_QPA_PLATFORM=offscreen \
     ASAN_OPTIONS=detect_leaks=1:strict_string_checks=1 \
     UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
     LSAN_OPTIONS=suppressions="$(pwd)/scripts/lsan.supp" \
     "$build/fuzz/fuzz_$t" -seed=1 -max_total_time="$seconds" -print_final_stats=1 \
       -artifact_prefix="$artifacts/${t}-" "$work/$t" >"$work/$t.log" 2>&1; then
    # The last coverage line and the execution count.
    grep -E '^#[0-9]+' "$work/$t.log" | tail -n 1
    grep -E 'stat::number_of_executed_units' "$work/$t.log" || true
  else
    tail -n 60 "$work/$t.log"
    echo "fuzz_$t FAILED; the input is in $artifacts/"
    failed="$failed $t"
  fi
done
[ -z "$failed" ] || { echo "Fuzzing found faults in:$failed"; exit 1; }
echo "Fuzzing: no faults found."
