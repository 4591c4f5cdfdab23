#!/usr/bin/env bash
# Runs the monitor tests of an end-to-end test program, each on the screen it needs: an X server
# with one or two screens (Xinerama, which Wine reads once told not to use XRandR) and a scale,
# restarting the X server and Wine in between. In the test's desktop slot (its prefix and HOME),
# on X servers of its own; the prefix's monitor settings are put back at the end.
# Usage: monitors-run.sh TEST.exe [test arguments]
here=$(cd "$(dirname "$0")" && pwd)
source "$here/wine-run.sh" --source-only
reg() { "$wine_loader" reg "$@" >/dev/null 2>&1; }
trap 'reg delete "HKCU\\Software\\Wine\\X11 Driver" /v UseXRandR /f
      reg delete "HKCU\\Control Panel\\Desktop" /v LogPixels /f
      wineserver -k >/dev/null 2>&1; [ -n "${xvfb:-}" ] && kill "$xvfb" 2>/dev/null' EXIT

# Starts an X server with the given screens; sets DISPLAY and xvfb.
screens() {
  local number_file args=() i=0 size
  for size in "$@"; do args+=(-screen "$i" "${size}x24"); i=$((i + 1)); done
  number_file=$(mktemp)
  Xvfb -displayfd 3 +xinerama "${args[@]}" -nolisten tcp 3>"$number_file" >/dev/null 2>&1 &
  xvfb=$!
  for _ in $(seq 1 100); do [ -s "$number_file" ] && break; sleep 0.1; done
  export DISPLAY=":$(head -n 1 "$number_file")"
  rm -f "$number_file"
}

# One phase: a screen, a scale, and the tests that need them.
phase() {
  local dpi=$1 filter=$2
  shift 2
  wineserver -k >/dev/null 2>&1
  [ -n "${xvfb:-}" ] && kill "$xvfb" 2>/dev/null && wait "$xvfb" 2>/dev/null
  screens "$@"
  reg add 'HKCU\Software\Wine\X11 Driver' /v UseXRandR /d N /f
  if [ "$dpi" = 96 ]; then
    reg delete 'HKCU\Control Panel\Desktop' /v LogPixels /f
  else
    reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$dpi" /f
  fi
  # The scale and the monitors are read when Wine starts.
  wineserver -k >/dev/null 2>&1
  run_wine "${test_command[@]}" --gtest_filter="$filter" || status=1
}

test_command=("$@")
status=0
phase 96 'MonitorsTest.OneMonitor*:MonitorsTest.BackToOne*' 1024x768
phase 96 'MonitorsTest.TwoMonitors*:MonitorsTest.FarOff*' 1024x768 800x600
phase 144 'MonitorsTest.AtAnotherScale*' 1024x768
exit $status
