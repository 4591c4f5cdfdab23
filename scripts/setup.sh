#!/usr/bin/env bash
# Installs every Debian package that the build, the tests, the demo and the release need.
# Idempotent and non-interactive: when everything is present it only checks and returns.
set -euo pipefail

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

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi

if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    $SUDO dpkg --add-architecture i386
  fi
  $SUDO apt-get update -qq
  $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" </dev/null
fi

# Japanese locale for the test prefix: the UI text is Japanese.
if ! locale -a 2>/dev/null | grep -qi '^ja_JP\.utf-\?8$'; then
  if ! grep -q '^ja_JP.UTF-8 UTF-8' /etc/locale.gen 2>/dev/null; then
    echo 'ja_JP.UTF-8 UTF-8' | $SUDO tee -a /etc/locale.gen >/dev/null
  fi
  $SUDO locale-gen ja_JP.UTF-8 >/dev/null
fi
