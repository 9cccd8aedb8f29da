#!/bin/sh
# Builds the programs and tests for 64-bit Windows with Debian's mingw-w64 cross compiler and
# runs the tests under Wine, on a Debian 12 machine as root:
#
#   sh scripts/windows.sh
#
# 1. Installs the cross compiler, Wine, nasm and the rest, when any is missing (scripts/deps.sh).
# 2. Cross-builds static libraries into build-win/deps/prefix: libjpeg-turbo, libpng, pixman
#    and cairo (its PDF surface) and, for the command line, libcsv from Debian's source packages
#    (apt-get source, with an apt source entry added beside the system's), against the zlib of
#    Debian's libz-mingw-w64-dev; GoogleTest from /usr/src/googletest and CLI11 from Debian's
#    headers. Each is rebuilt only when its stamp there does not name the version installed
#    here; each build's time is printed.
# 3. Configures the project with cmake/mingw-w64.cmake into build-win/.
# 4. Makes the Wine prefix build-win/wine (with Wine's fonts) when it is missing, builds the
#    project and runs the tests with ctest, each test program under Wine (cmake/wine.sh). The
#    window's tests run on a virtual display of their own (Xvfb), then the end-to-end test of
#    the program (tests/win32/end_to_end.sh).
# 5. Runs quandrel-qr.exe and the Linux quandrel-qr (built in build/ when missing) with the same
#    arguments and compares what they give (tests/windows/cli_compare.sh).
# 6. Makes the release into build-win/: the installer quandrel-qr-code-VERSION-windows-x64-setup.exe
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

# stamped NAME VERSION: true when NAME was built into the prefix for VERSION (the stamp's first
# line; a second one names the source that was built, when that differs).
stamped() {
  [ "$(head -n 1 "$prefix/stamps/$1" 2>/dev/null)" = "$2" ]
}

# stamp NAME VERSION SOURCE: records NAME as built for VERSION from SOURCE, with the build's
# time since started=$(date +%s).
stamp() {
  mkdir -p "$prefix/stamps"
  if [ "$2" = "$3" ]; then echo "$2"; else printf '%s\nbuilt from %s\n' "$2" "$3"; fi >"$prefix/stamps/$1"
  echo "Built $1 $3 for Windows in $(($(date +%s) - started)) s"
}

# fetch_source PACKAGE VERSION...: unpacks Debian's source package PACKAGE, its patches applied,
# into build-win/deps/src/PACKAGE (its only folder), at the first of the versions whose files the
# mirror serves, and sets $source to that version. A mirror can lack a file of a version (a 404
# for a superseded security update, or for the Debian changes of a package that has no newer
# upload): when no version comes whole, the first version's original tarball alone is unpacked,
# once its SHA-256 matches the .dsc that apt fetched (checked itself against the signed index),
# and $source says so.
fetch_source() {
  package=$1
  shift
  into="$deps/src/$package"
  for version in "$@"; do
    rm -rf "$into"
    mkdir -p "$into"
    if (cd "$into" && apt-get source -qq -o APT::Sandbox::User=root "$package=$version") >"$into.log" 2>&1; then
      source=$version
      return 0
    fi
  done
  version=$1
  rm -rf "$into"
  mkdir -p "$into"
  (cd "$into" && apt-get source -qq --download-only -o APT::Sandbox::User=root "$package=$version") >"$into.log" 2>&1 || true
  dsc="$into/${package}_${version#*:}.dsc"
  orig=$(sed -n '/^Checksums-Sha256:/,/^[^ ]/s/^ \([0-9a-f]\{64\}\) [0-9]* \([^ ]*\.orig\.tar\.[a-z0-9]*\)$/\1  \2/p' "$dsc" 2>/dev/null || true)
  if [ -z "$orig" ] || ! (cd "$into" && echo "$orig" | sha256sum -c --quiet) >>"$into.log" 2>&1; then
    cat "$into.log"
    echo "windows: no version of Debian's $package source could be fetched: $*" >&2
    exit 1
  fi
  (cd "$into" && tar xf "${orig##* }")
  source="$version (its original tarball: the mirror lacks the rest)"
}

# source_dir PACKAGE: the folder fetch_source unpacked.
source_dir() {
  find "$deps/src/$1" -mindepth 1 -maxdepth 1 -type d
}

# source_versions BINARY SOURCE: the version of SOURCE that the installed package BINARY was
# built from, then the mirror's other versions of SOURCE of the same upstream release, newest
# first: when the installed one is no longer served, its latest update is built instead.
source_versions() {
  installed=$(dpkg-query -W -f='${source:Version}' "$1")
  echo "$installed"
  apt-cache showsrc "$2" | sed -n 's/^Version: //p' | sort -u -r -V |
    while read -r other; do
      [ "$other" != "$installed" ] && [ "${other%-*}" = "${installed%-*}" ] && echo "$other"
    done
  true
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

# install_autotools_project NAME SOURCE FOLDER:TARGET[,TARGET...]... -- CONFIGURE-OPTION...:
# configures SOURCE for the Windows host in a build folder of its own, makes only the targets
# named, each in its folder of the build (the library, its headers and its .pc: not its tests,
# demos or documentation), and drops libtool's .la files, which hold the prefix's path. Log:
# build-win/deps/build/NAME.log. The make variables keep automake and autoconf from running
# again: the unpacked files' dates, and Debian's patch of cairo's configure.ac, make them look
# out of date, and their versions here are not the ones the package was made with.
install_autotools_project() {
  name=$1
  from=$2
  shift 2
  targets=""
  while [ "$1" != "--" ]; do targets="$targets $1"; shift; done
  shift
  tree="$deps/build/$name"
  rm -rf "$tree"
  mkdir -p "$tree"
  echo "Building $name for Windows"
  autotools_steps "$@" >"$tree.log" 2>&1 || { tail -n 60 "$tree.log"; exit 1; }
  find "$prefix/lib" -name '*.la' -delete
}
autotools_steps() {
  (cd "$tree" && "$from/configure" --host=x86_64-w64-mingw32 --prefix="$prefix" \
     --enable-static --disable-shared --disable-dependency-tracking \
     CC=x86_64-w64-mingw32-gcc-posix CFLAGS=-O2 "$@") || return 1
  for target in $targets; do
    # shellcheck disable=SC2046 # one make target a word
    make -C "$tree/${target%%:*}" -j"$jobs" ACLOCAL=true AUTOCONF=true AUTOMAKE=true AUTOHEADER=true \
      $(echo "${target#*:}" | tr , ' ') || return 1
  done
}

# The builds below find each other's .pc files in the prefix, and only those for Windows: never
# the build machine's own.
export PKG_CONFIG_LIBDIR="$prefix/lib/pkgconfig:/usr/x86_64-w64-mingw32/lib/pkgconfig"

# libjpeg-turbo from Debian's source package (its patches applied), the version of the
# libjpeg62-turbo installed here, with the libjpeg 6.2 interface and its SIMD code as Debian
# builds it: the same library makes the same bytes on both systems.
jpeg_version=$(dpkg-query -W -f='${source:Version}' libjpeg62-turbo)
if ! stamped libjpeg-turbo "$jpeg_version"; then
  started=$(date +%s)
  fetch_source libjpeg-turbo "$jpeg_version"
  install_cmake_project libjpeg-turbo "$source" "$(source_dir libjpeg-turbo)" \
    -DENABLE_SHARED=OFF -DENABLE_STATIC=ON -DWITH_TURBOJPEG=OFF -DREQUIRE_SIMD=ON -DCMAKE_ASM_NASM_COMPILER=nasm
  stamp libjpeg-turbo "$jpeg_version" "$source"
fi

# zlib is Debian's own build for mingw-w64 (libz-mingw-w64-dev), the zlib release the Linux
# build links: static libz.a beside the DLL's import library, which nothing here may pick.
zlib=/usr/x86_64-w64-mingw32/lib/libz.a

# libpng, the release of the libpng16-16 installed here, static, against that zlib: the PNG
# writer's bytes are libpng's and zlib's. Its .pc is made relative to its own folder's prefix.
png_version=$(dpkg-query -W -f='${source:Version}' libpng16-16)
if ! stamped libpng "$png_version"; then
  started=$(date +%s)
  # shellcheck disable=SC2046 # one version a word
  fetch_source libpng1.6 $(source_versions libpng16-16 libpng1.6)
  install_cmake_project libpng "$source" "$(source_dir libpng1.6)" \
    -DPNG_SHARED=OFF -DPNG_STATIC=ON -DPNG_TESTS=OFF -DPNG_EXECUTABLES=OFF -DSKIP_INSTALL_PROGRAMS=ON \
    -DZLIB_LIBRARY="$zlib" -DZLIB_INCLUDE_DIR=/usr/x86_64-w64-mingw32/include
  sed -i "s|^\(exec_prefix\)=.*|\1=\${prefix}|; s|^libdir=.*|libdir=\${exec_prefix}/lib|;
    s|^includedir=.*|includedir=\${prefix}/include/libpng16|" "$prefix/lib/pkgconfig/libpng16.pc"
  stamp libpng "$png_version" "$source"
fi

# pixman, cairo's rasteriser, as the installed libpixman-1-0 (its configure script, as Debian
# builds it): only the library, no tests or demos.
pixman_version=$(dpkg-query -W -f='${source:Version}' libpixman-1-0)
if ! stamped pixman "$pixman_version"; then
  started=$(date +%s)
  # shellcheck disable=SC2046
  fetch_source pixman $(source_versions libpixman-1-0 pixman)
  install_autotools_project pixman "$(source_dir pixman)" pixman:install .:install-pkgconfigDATA -- \
    --disable-gtk --disable-libpng --disable-openmp
  stamp pixman "$pixman_version" "$source"
fi

# cairo, as the installed libcairo2, with only what a PDF page of rectangles needs: the PDF
# surface and the image surface it is built on; no X11, Win32, fonts, PNG, PostScript, SVG or
# script backends, no tests, utilities or documentation. Its Win32 mutexes are set up without
# DllMain (CAIRO_WIN32_STATIC_BUILD), which a static library never gets.
cairo_version=$(dpkg-query -W -f='${source:Version}' libcairo2)
if ! stamped cairo "$cairo_version"; then
  started=$(date +%s)
  # shellcheck disable=SC2046
  fetch_source cairo $(source_versions libcairo2 cairo)
  install_autotools_project cairo "$(source_dir cairo)" \
    src:libcairo.la src:install-libLTLIBRARIES,install-cairoincludeHEADERS,install-nodist_cairoincludeHEADERS,install-pkgconfigDATA -- \
    --enable-pdf --disable-png --disable-ps --disable-svg --disable-script --disable-interpreter \
    --disable-xlib --disable-xcb --disable-win32 --disable-win32-font --disable-ft --disable-fc \
    --disable-gobject --disable-trace --disable-symbol-lookup --disable-valgrind --disable-gtk-doc \
    --disable-test-surfaces --disable-tee --disable-xml CPPFLAGS=-DCAIRO_WIN32_STATIC_BUILD
  # cairo's configure fortifies its string calls (_FORTIFY_SOURCE), as on Linux; mingw-w64's
  # checked versions of them are in GCC's libssp, which its .pc does not name.
  sed -i 's/^Libs\.private:.*/& -lssp/' "$prefix/lib/pkgconfig/cairo.pc"
  stamp cairo "$cairo_version" "$source"
fi

# GoogleTest from the sources Debian installs in /usr/src/googletest.
gtest_version=$(dpkg-query -W -f='${Version}' googletest)
stamped googletest "$gtest_version" || install_cmake_project googletest "$gtest_version" /usr/src/googletest

# The command line's: libcsv from Debian's source package (autotools; its config.guess is too
# old to guess this machine, so the build system is named), and CLI11, which is headers only:
# Debian's own headers and CMake files, copied into the prefix so that the cross build finds
# them there and nowhere else.
csv_version=$(dpkg-query -W -f='${source:Version}' libcsv-dev)
if ! stamped libcsv "$csv_version"; then
  echo "Building libcsv $csv_version for Windows"
  rm -rf "$deps/src-libcsv"
  mkdir -p "$deps/src-libcsv" "$deps/build" "$prefix/stamps"
  (cd "$deps/src-libcsv" && apt-get source -qq -o APT::Sandbox::User=root "libcsv=$csv_version" >/dev/null)
  csv_tree=$(find "$deps/src-libcsv" -mindepth 1 -maxdepth 1 -type d)
  # The unpacked files' dates must not make make run autotools again.
  { cd "$csv_tree" &&
    ./configure --build=x86_64-pc-linux-gnu --host=x86_64-w64-mingw32 --prefix="$prefix" \
      --enable-static --disable-shared CC=x86_64-w64-mingw32-gcc-posix &&
    make -j"$jobs" ACLOCAL=true AUTOCONF=true AUTOMAKE=true AUTOHEADER=true &&
    make install ACLOCAL=true AUTOCONF=true AUTOMAKE=true AUTOHEADER=true; } >"$deps/build/libcsv.log" 2>&1 ||
    { tail -n 60 "$deps/build/libcsv.log"; exit 1; }
  cd "$root"
  echo "$csv_version" >"$prefix/stamps/libcsv"
fi
cli11_version=$(dpkg-query -W -f='${Version}' libcli11-dev)
if ! stamped cli11 "$cli11_version"; then
  rm -rf "$prefix/include/CLI" "$prefix/share/cmake/CLI11"
  mkdir -p "$prefix/include" "$prefix/share/cmake" "$prefix/stamps"
  cp -r /usr/include/CLI "$prefix/include/"
  cp -r /usr/share/cmake/CLI11 "$prefix/share/cmake/"
  echo "$cli11_version" >"$prefix/stamps/cli11"
fi

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
# 5. quandrel-qr.exe against the Linux program ($QUANDREL_LINUX_CLI, or build/'s, which
# scripts/test.sh has built; configured and brought up to date here when it is not).
linux_cli=${QUANDREL_LINUX_CLI:-}
if [ -z "$linux_cli" ]; then
  [ -f build/CMakeCache.txt ] || cmake -S . -B build -DCMAKE_BUILD_TYPE=Release >/dev/null
  cmake --build build -j"$jobs" --target quandrel-qr >/dev/null
  linux_cli="$root/build/cli/quandrel-qr"
fi
sh tests/windows/cli_compare.sh "$linux_cli" "$build"
# 6. The release and its installer's test.
cmake --build "$build" -j"$jobs" --target windows-release
ls -l "$build"/quandrel-qr-code-*-windows-x64*
sh tests/windows/install.sh "$build"
