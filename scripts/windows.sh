#!/bin/sh
# Builds the programs and tests for 64-bit Windows with Debian's mingw-w64 cross compiler and
# runs the tests under Wine, on a Debian 12 machine as root:
#
#   sh scripts/windows.sh
#
# 1. Installs the cross compiler, Wine, nasm and the rest, when any is missing (scripts/deps.sh).
# 2. Cross-builds libjpeg-turbo from Debian's source package (apt-get source, with an apt
#    source entry added beside the system's) and GoogleTest from /usr/src/googletest into
#    build-win/deps/prefix. Each is rebuilt only when its stamp there does not name the
#    version installed here.
# 3. Configures the project with cmake/mingw-w64.cmake into build-win/.
# 4. Makes the Wine prefix build-win/wine (with Wine's fonts) when it is missing, builds the
#    project and runs the tests with ctest, each test program under Wine (cmake/wine.sh). The
#    window's tests run on a virtual display of their own (Xvfb), then the end-to-end test of
#    the program (tests/win32/end_to_end.sh).
# 5. Makes the release into build-win/: the installer quandrel-qr-code-VERSION-windows-x64-setup.exe
#    (NSIS) and the portable quandrel-qr-code-VERSION-windows-x64.zip, and tests the installer
#    in a Wine prefix of its own (tests/windows/install.sh): install, upgrade, the window from the
#    Start menu, the PATH, uninstall.
set -eu
cd "$(dirname "$0")/.."
root=$(pwd)
build="$root/build-win"
deps="$build/deps"
prefix="$deps/prefix"
toolchain="$root/cmake/mingw-w64.cmake"
jobs=$(nproc)

# 1. Packages.
sh scripts/deps.sh windows

# 2. Debian's source packages. The entry for them repeats the system's own apt sources with
# the type deb-src, in a file of its own.
system_sources=/etc/apt/sources.list.d/debian.sources
source_entry=/etc/apt/sources.list.d/quandrel-deb-src.sources
if [ -z "$(apt-cache showsrc libjpeg-turbo 2>/dev/null)" ]; then
  [ -f "$system_sources" ] || { echo "windows: $system_sources is missing; cannot add a source entry" >&2; exit 1; }
  sed 's/^Types:.*/Types: deb-src/' "$system_sources" >"$source_entry.new"
  mv "$source_entry.new" "$source_entry"
  apt-get update -qq
fi

# stamped NAME VERSION: true when NAME was built into the prefix at VERSION.
stamped() {
  [ "$(cat "$prefix/stamps/$1" 2>/dev/null)" = "$2" ]
}

# install_cmake_project NAME VERSION SOURCE [OPTION...]: cross-builds the CMake project in
# SOURCE with the options, installs it into the prefix and stamps it with VERSION. Its log is
# build-win/deps/build/NAME.log.
install_cmake_project() {
  name=$1
  version=$2
  from=$3
  shift 3
  echo "Building $name $version for Windows"
  tree="$deps/build/$name"
  rm -rf "$tree"
  mkdir -p "$tree" "$prefix/stamps"
  { cmake -S "$from" -B "$tree" -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=Release \
      -DCMAKE_INSTALL_PREFIX="$prefix" "$@" &&
    cmake --build "$tree" -j"$jobs" &&
    cmake --install "$tree"; } >"$tree.log" 2>&1 || { tail -n 60 "$tree.log"; exit 1; }
  echo "$version" >"$prefix/stamps/$name"
}

# libjpeg-turbo from Debian's source package (its patches applied), the version of the
# libjpeg62-turbo installed here, with the libjpeg 6.2 interface and its SIMD code as Debian
# builds it: the same library makes the same bytes on both systems.
jpeg_version=$(dpkg-query -W -f='${source:Version}' libjpeg62-turbo)
if ! stamped libjpeg-turbo "$jpeg_version"; then
  rm -rf "$deps/src"
  mkdir -p "$deps/src"
  (cd "$deps/src" && apt-get source -qq -o APT::Sandbox::User=root "libjpeg-turbo=$jpeg_version" >/dev/null)
  install_cmake_project libjpeg-turbo "$jpeg_version" "$(find "$deps/src" -mindepth 1 -maxdepth 1 -type d)" \
    -DENABLE_SHARED=OFF -DENABLE_STATIC=ON -DWITH_TURBOJPEG=OFF -DREQUIRE_SIMD=ON -DCMAKE_ASM_NASM_COMPILER=nasm
fi

# GoogleTest from the sources Debian installs in /usr/src/googletest.
gtest_version=$(dpkg-query -W -f='${Version}' googletest)
stamped googletest "$gtest_version" || install_cmake_project googletest "$gtest_version" /usr/src/googletest

# 3. The project.
cmake -S . -B "$build" -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_PREFIX_PATH="$prefix" \
  -DCMAKE_BUILD_TYPE=Release >/dev/null
# 4. The Wine prefix first: the build already runs the test programs to list their tests.
if [ ! -f "$build/wine/system.reg" ]; then
  echo "Making the Wine prefix"
  sh cmake/wine.sh "$build" wineboot --init >"$build/wineboot.log" 2>&1 || { cat "$build/wineboot.log"; exit 1; }
  # wineboot returns while the services it started are still settling; wait for them to end.
  WINEPREFIX="$build/wine" /usr/lib/wine/wineserver64 --wait
  # Wine does not find its own fonts where Debian installs them (Tahoma, the window's font;
  # Marlett, which draws the caption buttons); in the prefix's font folder it does.
  cp /usr/share/wine/fonts/* "$build/wine/drive_c/windows/Fonts/"
fi
# The window's tests and the program need a display: a virtual one, large enough for the window
# at 144 DPI, ended when this script ends.
display=90
while [ -e "/tmp/.X11-unix/X$display" ] || [ -e "/tmp/.X$display-lock" ]; do display=$((display + 1)); done
Xvfb ":$display" -screen 0 1600x1200x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
trap 'kill "$xvfb" 2>/dev/null || true' EXIT
export DISPLAY=":$display"
# A Wine server of the prefix left from an earlier run keeps the display it started with; the
# programs here must find the new one.
WINEPREFIX="$build/wine" /usr/lib/wine/wineserver64 --wait
# Then one server for all the test programs, kept until the end: a server that ends with its last
# program can be going just as the next program connects ("recvmsg: Connection reset by peer",
# and the test fails without a word).
WINEPREFIX="$build/wine" /usr/lib/wine/wineserver64 -p
trap 'WINEPREFIX="$build/wine" /usr/lib/wine/wineserver64 -k 2>/dev/null || true; kill "$xvfb" 2>/dev/null || true' EXIT
# Wine's services live as long as that server, and the program that starts them passes them its
# output, which the build's listing of tests and ctest wait on to its end: started here, by a
# program whose output goes nowhere.
sh cmake/wine.sh "$build" cmd.exe /c exit </dev/null >/dev/null 2>&1 || true
cmake --build "$build" -j"$jobs"
# The first program that opens a window starts Wine's desktop process, which lives as long as the
# server and would keep that test's output open, so that ctest waits for it to its time-out:
# started here instead, by one quick window test whose output goes nowhere.
sh cmake/wine.sh "$build" "$build/tests/win32/win32_window_tests.exe" --gtest_filter='Win32Window.Focus*' \
  </dev/null >/dev/null 2>&1 || true
ctest --test-dir "$build" --output-on-failure -j"$jobs"
sh tests/win32/end_to_end.sh "$build"
# 5. The release and its installer's test.
cmake --build "$build" -j"$jobs" --target windows-release
ls -l "$build"/quandrel-qr-code-*-windows-x64*
sh tests/windows/install.sh "$build"
