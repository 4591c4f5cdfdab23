#!/usr/bin/env bash
# Fails when a C++ source of the repository differs from what clang-format makes of it.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
mapfile -t files < <(git ls-files '*.cpp' '*.h' 2>/dev/null || find . -path ./build -prune -o \( -name '*.cpp' -o -name '*.h' \) -print)
if clang-format --dry-run --Werror "${files[@]}"; then
  echo "format: ${#files[@]} files as clang-format has them"
else
  echo "format: run clang-format -i on the files above"
  exit 1
fi
