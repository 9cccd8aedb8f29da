#!/bin/sh
# Builds the program and starts it.
set -eu
cd "$(dirname "$0")/.."
sh scripts/deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build -j"$(nproc)" --target quandrel-qr-code
exec ./build/app/quandrel-qr-code "$@"
