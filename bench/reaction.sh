#!/usr/bin/env bash
# Reaction times of the watcher: file added to the desktop -> repaint, label background reset ->
# transparent again, restarted desktop -> settings back (median and worst of 20).
# Usage: bench/reaction.sh [ICONVALE_EXE]   (default: the x64 build's; pass another build's to compare)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

bash scripts/setup.sh
source scripts/wine-env.sh
cmake --preset mingw-x64 -DICONVALE_BUILD_TESTS=ON >/dev/null
cmake --build build/mingw-x64 >/dev/null
bin="$root/build/mingw-x64"
app=${1:-$bin/iconvale.exe}

start_x_server
trap stop_wine_and_x EXIT
make_prefix
wine reg delete 'HKCU\Software\Marun soft\Kivo' /f >/dev/null 2>&1 || true
wine "$bin/reaction.exe" "$bin/standin.exe" "$(winepath -w "$app")" "$(winepath -w "$root/build/reaction.log")"
wineserver -k
