#!/bin/sh
# Fails unless every place that states the version states VERSION, the project's own (CMake's
# project VERSION): each CHECK is one of
#   changelog=FILE   the Debian changelog's newest entry
#   metainfo=FILE    the AppStream metadata's newest release (the first listed)
#   program=FILE     what the program says to --version: "NAME VERSION"
#   resource=FILE    a Windows program's version resource: FILEVERSION, PRODUCTVERSION (as
#                    MAJOR, MINOR, PATCH, 0), FileVersion and ProductVersion, read by $WINDRES
#
#   sh versions.sh VERSION CHECK...
set -eu
version=$1
shift
status=0
# agree WHERE FOUND: reports FOUND, and fails the run unless it is the version.
agree() {
  if [ "$2" = "$version" ]; then
    echo "ok    $1: $2"
  else
    echo "FAIL  $1: \"$2\", not $version"
    status=1
  fi
}
numeric="$(echo "$version" | sed "s/\./, /g"), 0"
for check in "$@"; do
  # An empty argument stands for a program this build does not make.
  [ -n "$check" ] || continue
  file=${check#*=}
  case $check in
    changelog=*) agree "$file, newest entry" "$(dpkg-parsechangelog -l "$file" -S Version)" ;;
    metainfo=*)
      agree "$file, newest release" "$(sed -n 's/.*<release [^>]*version="\([^"]*\)".*/\1/p' "$file" | head -n 1)" ;;
    program=*)
      said=$("$file" --version)
      agree "$(basename "$file") --version ($said)" "${said##* }" ;;
    resource=*)
      rc=$("${WINDRES:?}" -i "$file" -O rc)
      for field in FILEVERSION PRODUCTVERSION; do
        found=$(printf "%s\n" "$rc" | sed -n "s/^ *$field //p")
        [ "$found" = "$numeric" ] && found=$version
        agree "$(basename "$file") $field" "$found"
      done
      for field in FileVersion ProductVersion; do
        agree "$(basename "$file") $field" "$(printf "%s\n" "$rc" | sed -n "s/^ *VALUE \"$field\", \"\(.*\)\"$/\1/p")"
      done ;;
    *) echo "versions: unknown check $check" >&2; exit 2 ;;
  esac
done
exit $status
