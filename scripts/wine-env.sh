# Shared by the test and demo scripts: the Wine prefix and the X server they run in, and the
# tests' slots.
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

xvfb_pids=()

# Starts an X server on a display number it picks itself, so that servers started side by side (and
# other users' servers) never take the same one; sets xvfb_display once the server takes clients.
start_xvfb() {
  local number_file
  number_file=$(mktemp)
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$number_file" >/dev/null 2>&1 &
  xvfb_pids+=("$!")
  for _ in $(seq 1 100); do
    if [ -s "$number_file" ]; then
      xvfb_display=":$(head -n 1 "$number_file")"
      rm -f "$number_file"
      return 0
    fi
    sleep 0.1
  done
  rm -f "$number_file"
  echo "Xvfb did not start" >&2
  return 1
}

start_x_server() {
  start_xvfb
  export DISPLAY=$xvfb_display
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

# Test slots: an X server, a Wine prefix and a HOME each, so that tests that use the settings key,
# the screen or the Desktop folder run side by side without meeting (tests/support/wine-run.sh runs
# a test in the slot CTest gave it). Each slot's prefix is a copy of $WINEPREFIX, made once.
export ICONVALE_SLOTS_DIR="$PWD/build/slots"
slot_dirs=()

# Starts one X server per slot, the first one as $DISPLAY (for making the prefix).
start_slot_servers() {
  local i slot
  for ((i = 0; i < $1; i++)); do
    slot="$ICONVALE_SLOTS_DIR/slot$i"
    mkdir -p "$slot"
    start_xvfb
    echo "$xvfb_display" > "$slot/display"
    slot_dirs+=("$slot")
  done
  export DISPLAY
  DISPLAY=$(cat "${slot_dirs[0]}/display")
}

# Copies $WINEPREFIX into each slot that has no copy of it yet, and checks every slot's copy.
make_slot_prefixes() {
  local slot
  # A prefix in use is no sound copy: wait until its server has ended.
  wineserver -w
  for slot in "${slot_dirs[@]}"; do
    if [ ! -f "$slot/prefix/system.reg" ] || [ "$WINEPREFIX/.fonts-mapped" -nt "$slot/prefix/.fonts-mapped" ]; then
      copy_prefix "$slot"
    fi
    check_slot_prefix "$slot" || return 1
  done
}

copy_prefix() {
  local slot=$1 link target
  rm -rf "${slot:?}/prefix" "$slot/prefix.part" "$slot/home"
  mkdir -p "$slot/home"
  cp -a "$WINEPREFIX" "$slot/prefix.part"
  # Debian's Wine keeps the directory of the prefix's server in this file: the copy makes its own.
  rm -f "$slot/prefix.part/wineserver"
  # The shell folders (Desktop among them) are links to HOME: to this slot's.
  while IFS= read -r -d '' link; do
    target=$(readlink "$link")
    case $target in
      "$HOME" | "$HOME"/*) ln -sfn "$slot/home${target#"$HOME"}" "$link" ;;
      "$WINEPREFIX" | "$WINEPREFIX"/*) ln -sfn "$slot/prefix${target#"$WINEPREFIX"}" "$link" ;;
    esac
  done < <(find "$slot/prefix.part" -type l -print0)
  mv "$slot/prefix.part" "$slot/prefix"
}

# A slot's prefix stands on its own: its drives and its Desktop folder are its own, and nothing in
# it leads back to the prefix it was copied from or to that prefix's HOME.
check_slot_prefix() {
  local slot=$1 prefix="$1/prefix" user links
  user=$(id -un)
  if [ "$(readlink -f "$prefix/dosdevices/c:")" != "$(readlink -f "$prefix/drive_c")" ] ||
     [ "$(readlink -f "$prefix/dosdevices/z:")" != / ]; then
    echo "$prefix: drive C: or Z: is not its own" >&2
    return 1
  fi
  if [ "$(readlink -f "$prefix/drive_c/users/$user/Desktop")" != "$(readlink -f "$slot/home")" ]; then
    echo "$prefix: the Desktop folder is not $slot/home" >&2
    return 1
  fi
  links=$(find "$prefix" -type l \( -lname "$WINEPREFIX" -o -lname "$WINEPREFIX/*" -o -lname "$HOME" -o -lname "$HOME/*" \) | head -n 3)
  if [ -n "$links" ] || grep -qF -e "$WINEPREFIX" -e "$HOME" -e "Z:${WINEPREFIX//\//\\\\}" -e "Z:${HOME//\//\\\\}" "$prefix"/*.reg; then
    echo "$prefix leads back to $WINEPREFIX or $HOME${links:+: $links}" >&2
    return 1
  fi
}

stop_wine_and_x() {
  local slot
  wineserver -k >/dev/null 2>&1 || true
  for slot in "${slot_dirs[@]}"; do
    WINEPREFIX="$slot/prefix" wineserver -k >/dev/null 2>&1 || true
  done
  if [ ${#xvfb_pids[@]} -gt 0 ]; then kill "${xvfb_pids[@]}" >/dev/null 2>&1 || true; fi
}
