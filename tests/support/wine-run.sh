#!/bin/sh
# Runs a Windows program under Wine in the test prefix; CTest uses it as the cross-compiling
# emulator. scripts/test.sh creates the prefix and the X server and exports their settings.
here=$(cd "$(dirname "$0")" && pwd)
: "${WINEPREFIX:=$here/../../build/wineprefix}"
: "${WINEDEBUG:=-all}"
export WINEPREFIX WINEDEBUG
exec wine "$@"
