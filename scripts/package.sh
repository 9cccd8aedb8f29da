#!/bin/sh
# Builds the Debian packages quandrel-qr and quandrel-qr-code into build-pkg/packages/ (or
# BUILD/packages/ with "sh scripts/package.sh BUILD"): the programs compiled with Debian's
# hardening flags, stripped, with their dependencies found by dpkg-shlibdeps.
set -eu
cd "$(dirname "$0")/.."
build=${1:-build-pkg}
sh scripts/deps.sh

# Debian's compiler and linker flags, with every hardening feature (also -z now).
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
# The manual pages carry the date of the newest changelog entry, not the day of the build.
SOURCE_DATE_EPOCH=$(dpkg-parsechangelog -l packaging/changelog -S Timestamp)
export SOURCE_DATE_EPOCH
launcher=""
command -v ccache >/dev/null && launcher="-DCMAKE_CXX_COMPILER_LAUNCHER=ccache"
# Only what the packages hold is built: installing does not build every target first.
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DQUANDREL_BENCH=OFF $launcher \
  -DCMAKE_SKIP_INSTALL_ALL_DEPENDENCY=ON \
  -DCMAKE_CXX_FLAGS="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS)" \
  -DCMAKE_EXE_LINKER_FLAGS="$(dpkg-buildflags --get LDFLAGS)" >/dev/null
cmake --build "$build" -j"$(nproc)" --target packaging

rm -rf "$build/packages"
(cd "$build" && cpack -G DEB >/dev/null)
ls -1 "$build"/packages/*.deb
