#!/usr/bin/env bash
# Takes the README's pictures of the settings dialog and the About box under a virtual X server:
# docs/settings.png and docs/about.png. A person looks at them; nothing is asserted.
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
source scripts/steps.sh

step "set-up"
bash scripts/setup.sh
unset DISPLAY
source scripts/wine-env.sh
step "build"
cmake --preset mingw-x64 >/dev/null
cmake --build build/mingw-x64
bin="$root/build/mingw-x64"

step "take the pictures"
start_x_server
trap stop_wine_and_x EXIT
make_prefix
for f in "Readme.txt" "予定表.txt" "Notes.txt"; do [ -e "$HOME/$f" ] || echo "Iconvale" > "$HOME/$f"; done

# The X window of a Wine top-level window with this title, once it is there.
window_of() {
  local id=""
  for _ in $(seq 1 50); do
    id=$(xdotool search --name "^$1\$" 2>/dev/null | head -1) && [ -n "$id" ] && break
    sleep 0.2
  done
  echo "$id"
}

# Saves a window's picture, cut from the screen so that it shows what a person sees.
shoot() {
  local id geometry
  id=$(window_of "$1")
  [ -n "$id" ] || { echo "no window \"$1\"" >&2; return 1; }
  geometry=$(xwininfo -id "$id" | awk '/Absolute upper-left X/{x=$4} /Absolute upper-left Y/{y=$4}
    /Width/{w=$2} /Height/{h=$2} END{printf "%dx%d+%d+%d", w, h, x, y}')
  import -window root -crop "$geometry" +repage "$2"
  echo "Saved $2"
}

wine "$bin/standin.exe" --shell &
sleep 4
wine "$bin/iconvale.exe" &
sleep 3
# Out from the top-left corner; the settings button is the toolbar's second.
xdotool mousemove 1 60 && sleep 0.5
xdotool mousemove 11 37 && sleep 0.3 && xdotool click 1
sleep 1.5
xdotool mousemove 0 700
shoot "設定" docs/settings.png
# The About box opens from the dialog's fourth button, which has the keyboard focus after three tabs.
xdotool key Tab Tab Tab space
sleep 1.5
shoot "ﾊﾞｰｼﾞｮﾝ情報" docs/about.png
