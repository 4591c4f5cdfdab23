#!/usr/bin/env bash
# Takes iconvale.exe out of a release zip and runs a test program against it under Wine.
# Usage: release-zip-run.sh ZIP WORK-DIR TEST.exe [test arguments]; the test gets --iconvale=PATH.
here=$(cd "$(dirname "$0")" && pwd)
zip=$1 work=$2
shift 2
fail() {
  echo "$1"
  exit 1
}
[ -f "$zip" ] || fail "No release zip $zip: scripts/package.sh makes it."
rm -rf "$work" && mkdir -p "$work" || exit 1
(cd "$work" && cmake -E tar xf "$zip") || fail "Cannot unpack $zip"
[ -f "$work/iconvale.exe" ] || fail "$zip holds no iconvale.exe at its top"
exec "$here/wine-run.sh" "$@" --iconvale="$work/iconvale.exe"
