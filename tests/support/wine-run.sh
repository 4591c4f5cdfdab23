#!/usr/bin/env bash
# Runs a Windows program under Wine in the test prefix; CTest uses it as the cross-compiling
# emulator. scripts/test.sh creates the prefixes and the X servers and exports their settings,
# among them the loader (WINELOADER) where no 32-bit programs run.
here=$(cd "$(dirname "$0")" && pwd)

# A test that CTest gave a desktop slot ("id:slot1,slots:1") runs on that slot's X server, in its
# prefix and with its HOME (scripts/wine-env.sh made them).
if [ -n "${CTEST_RESOURCE_GROUP_0_DESKTOP:-}" ]; then
  slot_id=${CTEST_RESOURCE_GROUP_0_DESKTOP#id:}
  slot="${ICONVALE_SLOTS_DIR:-$here/../../build/slots}/${slot_id%%,*}"
  if ! DISPLAY=$(cat "$slot/display" 2>/dev/null) || [ ! -f "$slot/prefix/system.reg" ]; then
    echo "No desktop slot at $slot: scripts/test.sh makes the slots."
    exit 1
  fi
  export DISPLAY WINEPREFIX="$slot/prefix" HOME="$slot/home"
fi
: "${WINEPREFIX:=$here/../../build/wineprefix}"
: "${WINEDEBUG:=-all}"
export WINEPREFIX WINEDEBUG

# Tests that run 32-bit code say so; where none runs they are skipped, not failed.
if [ "${ICONVALE_NEEDS_32BIT:-0}" = 1 ] && [ "${ICONVALE_RUNS_32BIT:-1}" = 0 ]; then
  echo "Skipped: this test runs 32-bit code, and this machine runs no 32-bit programs."
  exit 77
fi

wine_loader="${WINELOADER:-wine}"
# Only Wine writes to standard error here, in the prefix's code page (Shift-JIS under ja_JP).
run_wine() {
  local status
  { "$wine_loader" "$@" 2>&1 1>&3 3>&- | iconv -f CP932 -t UTF-8 -c >&2; status=${PIPESTATUS[0]}; } 3>&1
  return "$status"
}

# Sourced with --source-only, it only sets the slot up (for scripts that run several programs).
if [ "${1:-}" != --source-only ]; then
  errors=$(mktemp) && trap 'rm -f "$errors"' EXIT
  run_wine "$@" 2>"$errors"; status=$?
  cat "$errors" >&2
  # Wine's X11 driver ends the whole process on an X protocol error it did not expect (BadWindow
  # for a window the X server had let go): no result of the tests; run once more, saying so.
  if [ "$status" -ne 0 ] && grep -q '^X Error of failed request' "$errors"; then
    echo "wine-run: an X protocol error ended Wine's process; running it once more"
    run_wine "$@"; status=$?
  fi
  exit "$status"
fi
