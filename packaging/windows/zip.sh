#!/bin/sh
# The portable zip: one folder, named like the zip, with the given files, every entry dated
# EPOCH (the changelog's newest entry) so that the same files make the same zip.
#   sh zip.sh ZIP EPOCH FILE...
set -eu
zip=$(realpath -m "$1")
epoch=$2
shift 2
folder=$(basename "$zip" .zip)
stage="$zip.stage"
rm -rf "$stage" "$zip.new"
mkdir -p "$stage/$folder"
cp "$@" "$stage/$folder/"
find "$stage" -exec touch -h -d "@$epoch" {} +
(cd "$stage" && TZ=UTC zip -X -q -r -9 "$zip.new" "$folder")
rm -rf "$stage"
mv "$zip.new" "$zip"
