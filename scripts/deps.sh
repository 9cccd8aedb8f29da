#!/bin/sh
# Installs the Debian 12 packages the build and the tests need, when any is missing.
set -eu
packages="cmake g++ make pkg-config qt6-base-dev libxkbcommon-dev xauth libjpeg62-turbo-dev
  libgtest-dev libgmock-dev libbenchmark-dev libzbar-dev libqrencode-dev
  clang libclang-rt-14-dev"
missing=""
for p in $packages; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing="$missing $p"
done
if [ -n "$missing" ]; then
  echo "Installing:$missing"
  apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq $missing
fi
