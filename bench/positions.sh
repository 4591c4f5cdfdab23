#!/usr/bin/env bash
# Time per item of saving and restoring icon positions for 100, 1,000 and 5,000 desktop items,
# next to the floor of bare cross-process item reads measured in the same run.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

source bench/bench-env.sh
wine build/mingw-x64/positions.exe "$root/build/mingw-x64/standin.exe"
