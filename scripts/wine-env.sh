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

# Whether this machine runs 32-bit programs: try the 32-bit Wine loader, since the package
# installs fine on kernels without ia32 emulation and Debian's wine wrapper then picks it anyway.
# ICONVALE_NO_32BIT=1 answers "no" without trying, to see how such a machine is served.
if [ "${ICONVALE_NO_32BIT:-0}" = 1 ]; then
  no_32bit_reason="ICONVALE_NO_32BIT=1"
elif ! no_32bit_reason=$(/usr/lib/wine/wine --version 2>&1 >/dev/null); then
  no_32bit_reason="/usr/lib/wine/wine: ${no_32bit_reason:-does not run}"
else
  no_32bit_reason=""
fi
if [ -n "$no_32bit_reason" ]; then
  export ICONVALE_RUNS_32BIT=0
  # Wine's 64-bit loader, bypassing the wrapper; WINELOADER tells Wine which loader it runs under.
  export WINELOADER=/usr/lib/wine/wine64
  echo "No 32-bit programs run here (${no_32bit_reason//$'\n'/ }): Wine runs through its 64-bit loader, only the x64 program against the 64-bit stand-in; tests that need 32-bit code are skipped."
else
  export ICONVALE_RUNS_32BIT=1
fi

# Wine's programs write their messages in the prefix's code page (Shift-JIS under ja_JP): make
# them readable in a UTF-8 terminal.
wine_loader="${WINELOADER:-/usr/bin/wine}"
to_utf8() { iconv -f CP932 -t UTF-8 -c; }
wine() {
  "$wine_loader" "$@" 2> >(to_utf8 >&2)
}

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

# Runs a Wine command quietly; when it fails, shows what Wine said and fails too.
wine_quietly() {
  local out status=0
  out=$("$wine_loader" "$@" 2>&1) || status=$?
  if [ "$status" -ne 0 ]; then
    echo "wine $* failed with status $status:" >&2
    echo "$out" | to_utf8 | tail -n 20 >&2
  fi
  return "$status"
}

make_prefix() {
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    echo "Creating the Wine prefix (once)..."
    wine_quietly wineboot -i
    # Without a window manager under Xvfb, every managed window's hiding waits two seconds for
    # one: let Wine manage no windows.
    wine_quietly reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f
    wineserver -w
  fi
  # The About box's links ask for the Japanese Windows font by name: draw them with IPA's.
  if [ ! -f "$WINEPREFIX/.fonts-mapped" ]; then
    wine_quietly reg add 'HKCU\Software\Wine\Fonts\Replacements' /v 'ＭＳ Ｐゴシック' /t REG_SZ /d 'IPAPGothic' /f
    wineserver -w
    touch "$WINEPREFIX/.fonts-mapped"
  fi
}

stop_wine_and_x() {
  wineserver -k >/dev/null 2>&1 || true
  if [ -n "$xvfb_pid" ]; then kill "$xvfb_pid" >/dev/null 2>&1 || true; fi
}
