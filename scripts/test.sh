#!/bin/sh
# Builds everything and runs every test: once in a release build, once more under
# AddressSanitizer, UndefinedBehaviorSanitizer and LeakSanitizer, and finally a short run of each
# fuzz target, and then the Debian packages are built, installed, checked and removed. GUI tests
# use the offscreen platform, so no display is needed.
set -eu
cd "$(dirname "$0")/.."
sh scripts/deps.sh
jobs=$(nproc)
export QT_QPA_PLATFORM=offscreen
# The tests run with a temporary HOME, so that nothing they save reaches the user's.
home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT
# Each test has a home of its own in the build tree; this one, which only the test runner sees,
# must stay empty: a test that writes into it would write into a user's real home.
with_temporary_home() {
  HOME="$home" XDG_CONFIG_HOME="$home/.config" "$@"
  if [ -n "$(ls -A "$home")" ]; then
    echo "A test wrote into the home folder:" >&2
    find "$home" -mindepth 1 >&2
    exit 1
  fi
}

cmake -S . -B build -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build -j"$jobs"
with_temporary_home ctest --test-dir build --output-on-failure -j"$jobs"

cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUANDREL_SANITIZE=ON -DQUANDREL_BENCH=OFF >/dev/null
cmake --build build-asan -j"$jobs"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:strict_string_checks=1 \
UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
LSAN_OPTIONS=suppressions="$(pwd)/scripts/lsan.supp" \
  with_temporary_home ctest --test-dir build-asan --output-on-failure -j"$jobs"

# A short run of every libFuzzer target from its checked-in seeds (see scripts/fuzz.sh).
sh scripts/fuzz.sh 15

# The Debian packages: built, checked, installed, used, removed (see scripts/package-test.sh).
sh scripts/package-test.sh
