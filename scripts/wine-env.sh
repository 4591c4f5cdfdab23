# Shared by the test and demo scripts: the Wine prefix and the X server they run in.
# Source it from the repository root.

export WINEPREFIX="$PWD/build/wineprefix"
export WINEDEBUG=-all
# No Mono or Gecko: nothing may ask to download them. No menu builder: a shortcut the tests
# write must not leave desktop entries and icons behind.
export WINEDLLOVERRIDES="mscoree=;mshtml=;winemenubuilder.exe=d"
# The prefix's Desktop folder is a link to HOME: keep it inside the build tree.
export HOME="$PWD/build/home"
# The people this program is for read Japanese; data tests must pass in any locale anyway.
export LC_ALL=ja_JP.UTF-8
mkdir -p "$HOME"

xvfb_pid=""

start_x_server() {
  local n
  for n in $(seq 90 130); do
    if [ ! -e "/tmp/.X11-unix/X$n" ] && [ ! -e "/tmp/.X$n-lock" ]; then break; fi
  done
  Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
  xvfb_pid=$!
  export DISPLAY=":$n"
  for _ in $(seq 1 100); do
    xdpyinfo >/dev/null 2>&1 && return 0
    sleep 0.1
  done
  echo "Xvfb did not start on $DISPLAY" >&2
  return 1
}

make_prefix() {
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    echo "Creating the Wine prefix (once)..."
    wineboot -i >/dev/null 2>&1
    # Without a window manager under Xvfb, every managed window's hiding waits two seconds for
    # one: let Wine manage no windows.
    wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
    wineserver -w
  fi
  # The About box's links ask for the Japanese Windows font by name: draw them with IPA's.
  if [ ! -f "$WINEPREFIX/.fonts-mapped" ]; then
    wine reg add 'HKCU\Software\Wine\Fonts\Replacements' /v 'ＭＳ Ｐゴシック' /t REG_SZ /d 'IPAPGothic' /f >/dev/null 2>&1
    wineserver -w
    touch "$WINEPREFIX/.fonts-mapped"
  fi
}

stop_wine_and_x() {
  wineserver -k >/dev/null 2>&1 || true
  if [ -n "$xvfb_pid" ]; then kill "$xvfb_pid" >/dev/null 2>&1 || true; fi
}
