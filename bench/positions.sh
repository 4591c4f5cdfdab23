#!/usr/bin/env bash
# Time per item of saving and restoring icon positions for 100, 1,000 and 5,000 desktop items,
# next to the floor of bare cross-process item reads measured in the same run.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

source bench/bench-env.sh
# 5,000 icons on the stand-in's grid of 60 rows need a screen of 7,600 x 5,900 to be all on it, as
# a desktop's icons are: the X server and Wine start again on one that large.
wineserver -k
number_file=$(mktemp)
Xvfb -displayfd 3 -screen 0 7600x5900x16 -nolisten tcp 3>"$number_file" >/dev/null 2>&1 &
xvfb_pids+=("$!")
for _ in $(seq 1 100); do [ -s "$number_file" ] && break; sleep 0.1; done
export DISPLAY=":$(head -n 1 "$number_file")"
rm -f "$number_file"
wine build/mingw-x64/positions.exe "$root/build/mingw-x64/standin.exe"
