#!/usr/bin/env bash
# Runs a Windows program under Wine in the test prefix; CTest uses it as the cross-compiling
# emulator. scripts/test.sh creates the prefix and the X server and exports their settings,
# among them the loader (WINELOADER) where no 32-bit programs run.
here=$(cd "$(dirname "$0")" && pwd)
: "${WINEPREFIX:=$here/../../build/wineprefix}"
: "${WINEDEBUG:=-all}"
export WINEPREFIX WINEDEBUG

# Tests that run 32-bit code say so; where none runs they are skipped, not failed.
if [ "${ICONVALE_NEEDS_32BIT:-0}" = 1 ] && [ "${ICONVALE_RUNS_32BIT:-1}" = 0 ]; then
  echo "Skipped: this test runs 32-bit code, and this machine runs no 32-bit programs."
  exit 77
fi

# Only Wine writes to standard error here, in the prefix's code page (Shift-JIS under ja_JP).
"${WINELOADER:-wine}" "$@" 2> >(iconv -f CP932 -t UTF-8 -c >&2)
status=$?
wait $!
exit $status
