#!/usr/bin/env bash
# Reaction times of the watcher: file added to the desktop -> repaint, label background reset ->
# transparent again, restarted desktop -> settings back (median and worst of 20).
# Usage: bench/reaction.sh [ICONVALE_EXE]   (default: the x64 build's; pass another build's to compare)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

source bench/bench-env.sh
app=${1:-$bin/iconvale.exe}
wine "$bin/reaction.exe" "$bin/standin.exe" "$(winepath -w "$app")" "$(winepath -w "$root/build/reaction.log")"
wineserver -k
