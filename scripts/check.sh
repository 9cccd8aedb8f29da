#!/bin/sh
# The everyday check, without root or apt: builds the release build in build/ (configured the
# first time, reused afterwards) and runs every test not labelled slow, GUI tests on Qt's
# offscreen platform, with a temporary HOME. When a package the build or the tests need is
# missing, it names them and stops; `sudo sh scripts/deps.sh` installs them. The whole suite,
# sanitizers, fuzzing and packages: scripts/test.sh.
#
#   sh scripts/check.sh [CTEST-ARGUMENTS...]    e.g. -L fast, or -R Layout
set -eu
cd "$(dirname "$0")/.."
if ! missing=$(sh scripts/deps.sh --check); then
  echo "check.sh: missing Debian packages:$missing" >&2
  echo "check.sh: install them with: sudo sh scripts/deps.sh" >&2
  exit 1
fi
jobs=$(nproc)
[ -f build/CMakeCache.txt ] || cmake -S . -B build -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build -j"$jobs"

home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT
HOME=$home XDG_CONFIG_HOME=$home/.config QT_QPA_PLATFORM=offscreen \
  ctest --test-dir build --output-on-failure -j"$jobs" -LE slow "$@"
