#!/usr/bin/env bash
# Fails when a source folder includes a folder of a layer above it. The layers, lowest first:
#   base < settings, shortcuts < shell < layouts < desktop < tray < dialogs < app;  res/ is a leaf
#   any layer may use.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

declare -A allowed=(
  [base]="base res"
  [settings]="base settings res"
  [shortcuts]="base shortcuts res"
  [shell]="base settings shell res"
  [layouts]="base settings shell layouts res"
  [desktop]="base settings shell layouts desktop res"
  [tray]="base settings shell layouts desktop tray res"
  [dialogs]="base settings shortcuts shell layouts desktop tray dialogs res"
  [app]="base settings shortcuts shell layouts desktop tray dialogs app res"
)

status=0
for layer in base settings shortcuts shell layouts desktop tray dialogs app; do
  while IFS=: read -r file line text; do
    target=$(sed -E 's/^#include "([^/"]+)\/.*/\1/' <<<"$text")
    if [[ " ${allowed[$layer]} " != *" $target "* ]]; then
      echo "$file:$line: $layer/ may not include $target/: $text"
      status=1
    fi
  done < <(grep -n -E '^#include "[^/"]+/' "$layer"/*.h "$layer"/*.cpp 2>/dev/null)
done
[ $status -eq 0 ] && echo "layers: every include points down"
exit $status
