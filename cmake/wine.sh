#!/bin/sh
# Runs a 64-bit Windows program under Wine, in the Wine prefix of a build folder:
#
#   sh cmake/wine.sh BUILD PROGRAM [ARGUMENT...]
#
# The prefix is BUILD/wine, made on first use, and Wine's HOME is BUILD/wine-home, so that
# nothing is written outside the build folder. Programs without windows need no display. Wine's
# .NET and HTML engines are left out (making the prefix would otherwise offer to download
# them), and so are menu entries for the desktop. The program's exit status is the status.
set -eu
build=$(cd "$1" && pwd)
shift
export WINEPREFIX="$build/wine"
export HOME="$build/wine-home"
export XDG_CONFIG_HOME="$HOME/.config"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
mkdir -p "$HOME"
exec /usr/lib/wine/wine64 "$@"
