#!/usr/bin/env bash
# Takes iconvale.exe out of a release zip and runs a test program against it under Wine.
# Usage: release-zip-run.sh ZIP WORK-DIR TEST.exe [test arguments]; the test gets --iconvale=PATH.
here=$(cd "$(dirname "$0")" && pwd)
zip=$1 work=$2
shift 2
if [ ! -f "$zip" ]; then
  echo "No release zip $zip: scripts/package.sh makes it."
  exit 1
fi
rm -rf "$work" && mkdir -p "$work" || exit 1
if ! (cd "$work" && cmake -E tar xf "$zip"); then
  echo "Cannot unpack $zip"
  exit 1
fi
if [ ! -f "$work/iconvale.exe" ]; then
  echo "$zip holds no iconvale.exe at its top"
  exit 1
fi
exec "$here/wine-run.sh" "$@" --iconvale="$work/iconvale.exe"
