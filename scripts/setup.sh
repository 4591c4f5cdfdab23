#!/usr/bin/env bash
# Installs every Debian package that the build, the tests, the demo and the release need.
# Idempotent and non-interactive: when everything is present it only checks and returns.
# Says in one line what it did; the package manager's own output goes to build/setup.log, whose
# end is shown when a step fails.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
log="$root/build/setup.log"
mkdir -p "$root/build"

packages=(
  cmake ninja-build clang-format
  g++-mingw-w64-i686 g++-mingw-w64-x86-64
  googletest
  wine wine64 wine32:i386
  xvfb xauth xdotool x11-utils
  locales fonts-ipafont-gothic
  imagemagick
  zip
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
need_locale=0
locale -a 2>/dev/null | grep -qi '^ja_JP\.utf-\?8$' || need_locale=1

if [ ${#missing[@]} -eq 0 ] && [ "$need_locale" = 0 ]; then
  echo "setup: everything is installed"
  exit 0
fi

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi

: > "$log"
# Runs a set-up command with its output in the log; on failure says so with the log's end.
logged() {
  echo "+ $*" >> "$log"
  if ! "$@" >> "$log" 2>&1 </dev/null; then
    echo "setup: \"$*\" failed; its output is in $log, which ends:" >&2
    tail -n 20 "$log" >&2
    exit 1
  fi
}

installed=("${missing[@]}")
if [ ${#missing[@]} -gt 0 ]; then
  export DEBIAN_FRONTEND=noninteractive
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    logged $SUDO dpkg --add-architecture i386
  fi
  # A mirror in the middle of a sync fails the update now and then: try again, and when only
  # some lists could not be fetched, install from those that were.
  updated=0
  for attempt in 1 2 3; do
    if $SUDO apt-get update >> "$log" 2>&1 </dev/null; then updated=1; break; fi
    sleep $((attempt * 5))
  done
  [ "$updated" = 1 ] || echo "setup: apt-get update failed three times; installing from the lists it has" >&2
  if ! $SUDO apt-get install -y --no-install-recommends "${missing[@]}" >> "$log" 2>&1 </dev/null; then
    # Without the i386 lists (a mirror that serves them broken) the 32-bit Wine cannot be had;
    # everything else can, and the scripts then run the x64 program only, as on a machine that
    # runs no 32-bit code, and say so.
    rest=()
    for p in "${missing[@]}"; do [[ $p == *:i386 ]] || rest+=("$p"); done
    [ ${#rest[@]} -lt ${#missing[@]} ] || { tail -n 20 "$log" >&2; exit 1; }
    echo "setup: the 32-bit packages could not be installed (see $log); installing the rest" >&2
    [ ${#rest[@]} -eq 0 ] || logged $SUDO apt-get install -y --no-install-recommends "${rest[@]}"
    installed=("${rest[@]}")
  fi
fi

# Japanese locale for the test prefix: the UI text is Japanese.
if [ "$need_locale" = 1 ]; then
  if ! grep -q '^ja_JP.UTF-8 UTF-8' /etc/locale.gen 2>/dev/null; then
    logged $SUDO sh -c "echo 'ja_JP.UTF-8 UTF-8' >> /etc/locale.gen"
  fi
  logged $SUDO locale-gen ja_JP.UTF-8
fi

done_items=("${installed[@]}")
[ "$need_locale" = 0 ] || done_items+=("the Japanese locale")
if [ ${#done_items[@]} -gt 0 ]; then
  echo "setup: installed ${done_items[*]} (log: $log)"
else
  echo "setup: nothing more could be installed (log: $log)"
fi
