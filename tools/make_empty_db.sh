#!/bin/sh
# Builds the installation's empty database (data/object_storage.cur) from its schema
# script. Run from anywhere; needs the sqlite3 command line program.
set -eu

root=$(cd "$(dirname "$0")/.." && pwd)
sql="$root/data/object_storage.sql"
out="$root/data/object_storage.cur"

command -v sqlite3 >/dev/null 2>&1 || { echo "sqlite3 is not installed" >&2; exit 1; }

# Build beside the target and rename, so a failed run never leaves a half-built file.
tmp="$out.new"
rm -f "$tmp"
trap 'rm -f "$tmp"' EXIT
sqlite3 -bail "$tmp" < "$sql"
sqlite3 "$tmp" "PRAGMA integrity_check;" | grep -qx ok
mv "$tmp" "$out"
trap - EXIT
echo "wrote $out"
