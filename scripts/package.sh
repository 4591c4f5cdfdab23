#!/usr/bin/env bash
# Builds the release under build/dist/: iconvale-<version>-x86.zip and -x64.zip (the program and
# a text for Windows users) and SHA256SUMS. The same commit gives the same bytes: the programs
# carry no link time, and the archives hold fixed times (the commit's), order and permissions.
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
source scripts/steps.sh

step "set-up"
bash scripts/setup.sh

version=$(sed -n 's/^#define ICONVALE_VERSION_TEXT "\(.*\)"$/\1/p' res/version.h)
[ -n "$version" ] || { echo "package.sh: res/version.h holds no ICONVALE_VERSION_TEXT" >&2; exit 1; }
: "${SOURCE_DATE_EPOCH:=$(git log -1 --format=%ct 2>/dev/null || date -r res/version.h +%s)}"
export TZ=UTC
dist="$root/build/dist"
rm -rf "$dist"
mkdir -p "$dist"

for arch in x86 x64; do
  step "build the $arch release"
  cmake --preset "mingw-$arch" -B "build/release-$arch" -DICONVALE_BUILD_TESTS=OFF >/dev/null
  cmake --build "build/release-$arch"

  step "pack the $arch zip"
  stage="$dist/$arch"
  mkdir -p "$stage"
  cp "build/release-$arch/iconvale.exe" "$stage/"
  # Notepad before Windows 10 wants the byte-order mark and CR LF line ends.
  { printf '\xEF\xBB\xBF'; sed -e "s/@VERSION@/$version/" -e "s/@ARCH@/$arch/" -e 's/$/\r/' res/readme-windows.txt; } \
    > "$stage/README.txt"
  chmod 0644 "$stage"/*
  touch -d "@$SOURCE_DATE_EPOCH" "$stage"/*
  (cd "$stage" && zip -q -X -D "$dist/iconvale-$version-$arch.zip" README.txt iconvale.exe)
  rm -rf "$stage"
done

step "checksums"
(cd "$dist" && sha256sum "iconvale-$version-x86.zip" "iconvale-$version-x64.zip" > SHA256SUMS)
cat "$dist/SHA256SUMS"
