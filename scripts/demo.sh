#!/usr/bin/env bash
# Builds Iconvale and runs it over the stand-in desktop under Wine.
# With $DISPLAY set it opens a Wine virtual desktop window there; without one it runs under a
# virtual X server and saves a screenshot to build/demo.png.
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
source scripts/steps.sh

step "set-up"
bash scripts/setup.sh
had_display="${DISPLAY:-}"
source scripts/wine-env.sh

step "build"
cmake --preset mingw-x64 >/dev/null
cmake --build build/mingw-x64
bin="$root/build/mingw-x64"

# The prefix's Desktop folder is HOME: give the desktop a few things to show.
for f in "Readme.txt" "予定表.txt" "Photos" "Notes.txt" "Budget 2026.txt"; do
  case "$f" in
    *.txt) [ -e "$HOME/$f" ] || echo "Iconvale demo" > "$HOME/$f" ;;
    *) mkdir -p "$HOME/$f" ;;
  esac
done

step "run the demo"
if [ -n "$had_display" ]; then
  make_prefix
  echo "Starting the stand-in desktop and Iconvale in a Wine desktop window on $DISPLAY."
  echo "End Iconvale with its exit button (the toolbar is tucked at the top-left corner)."
  wine explorer /desktop=Iconvale,1024x768 "$bin/standin.exe" --shell &
  standin=$!
  sleep 3
  wine explorer /desktop=Iconvale,1024x768 "$bin/iconvale.exe"
  kill "$standin" >/dev/null 2>&1 || true
  wineserver -k >/dev/null 2>&1 || true
else
  start_x_server
  trap stop_wine_and_x EXIT
  make_prefix
  wine "$bin/standin.exe" --shell &
  sleep 4
  wine "$bin/iconvale.exe" &
  sleep 4
  # The pointer on the tucked strip slides the toolbar out.
  xdotool mousemove 1 60
  sleep 1
  import -window root "$root/build/demo.png"
  echo "Screenshot of the demo: $root/build/demo.png"
fi
