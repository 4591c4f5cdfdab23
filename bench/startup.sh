#!/usr/bin/env bash
# Start-up: from the process's start to the toolbar window shown, median of 10, next to a minimal
# Win32 window program measured the same way in the same run, over the stand-in desktop.
# Usage: bench/startup.sh [ICONVALE_EXE]   (default: the x64 build's)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

source bench/bench-env.sh
app=${1:-$bin/iconvale.exe}
wine "$bin/standin.exe" --scripted --items=50 &
sleep 3
wine "$bin/startup.exe" "$(winepath -w "$app")" "$(winepath -w "$bin/minimal_window.exe")"
