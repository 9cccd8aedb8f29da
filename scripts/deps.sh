#!/bin/sh
# The Debian 12 packages the build and the tests need.
#
#   sh scripts/deps.sh          installs those that are missing (as root, through apt-get)
#   sh scripts/deps.sh windows  the same for the Windows build and its tests under Wine
#                               (scripts/windows.sh)
#   sh scripts/deps.sh --check  installs nothing: prints the missing ones the build and the tests
#                               need (not the benchmark and packaging tools) and fails if any is
set -eu
# Build: compiler, Qt 6 for the window, libjpeg, libpng and cairo for the pictures, CLI11 for the
# command line's arguments, libcsv for batch lists.
build="cmake g++ make pkg-config qt6-base-dev libxkbcommon-dev xauth libjpeg62-turbo-dev
  libpng-dev libcairo2-dev libcli11-dev libcsv-dev qt6-translations-l10n
  libgtest-dev libgmock-dev libbenchmark-dev libqrencode-dev qrencode
  clang libclang-rt-14-dev"
# Independent checks in tests: zbar decodes what we make, rsvg-convert, pdftoppm and Ghostscript
# rasterise vector files, segno, python3-qrcode and zint are other encoders to compare matrices with.
# strace: the command line's tests count the write calls of a message and hold the program
# just before its rename to send it a signal there.
checks="libzbar-dev zbar-tools librsvg2-bin poppler-utils ghostscript python3-segno python3-qrcode zint strace"
# exfatprogs and exfat-fuse: a small exFAT image, mounted through a loop device, shows the batch
# names that a file system which ignores case takes for one.
checks="$checks exfatprogs exfat-fuse"
# weston and qt6-wayland: the window is run on a headless Wayland compositor, where Qt draws the
# title bar itself, to show that a maximize request does it no harm.
checks="$checks weston qt6-wayland"
# Benchmarks: GNU time for peak memory, hyperfine for whole-process timings.
tools="time hyperfine"
# Packages: building and validating the .deb files, their manual pages and completion.
tools="$tools dpkg-dev file help2man lintian desktop-file-utils appstream bash-completion man-db"
# Windows: the cross compiler with the POSIX thread model, 64-bit Wine, nasm for libjpeg-turbo's
# SIMD code, dpkg-dev for apt-get source; libjpeg62-turbo, libpng16-16, libpixman-1-0 and
# libcairo2 are the libraries the Linux build links, whose sources are built for Windows (their
# installed versions pick the sources), against Debian's zlib for mingw-w64. Xvfb, xdotool,
# ImageMagick and Wine's fonts are for the tests of the window. NSIS and zip make the installer
# and the portable zip; python3 reads Wine's registry in the installer's test. Wine's
# recommendations (32-bit Wine, sound, video) are not needed.
windows="g++-mingw-w64-x86-64-posix wine64 fonts-wine nasm cmake make dpkg-dev googletest
  libjpeg62-turbo libpng16-16 libpixman-1-0 libcairo2 libz-mingw-w64-dev pkg-config
  xvfb xauth xdotool imagemagick zbar-tools nsis zip python3"

missing_of() {
  missing=""
  for p in $1; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing="$missing $p"
  done
  echo "$missing"
}

options=""
case "${1:-}" in
  --check)
    missing=$(missing_of "$build $checks")
    [ -z "$missing" ] || { echo "$missing"; exit 1; }
    exit 0 ;;
  windows)
    missing=$(missing_of "$windows")
    options=--no-install-recommends ;;
  *)
    missing=$(missing_of "$build $checks $tools") ;;
esac
if [ -n "$missing" ]; then
  echo "Installing:$missing"
  apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq $options $missing
fi
