#!/usr/bin/env bash
# Builds Iconvale for x86 and x64 and runs every test under Wine in a virtual X server.
# Usage: scripts/test.sh [extra ctest arguments]
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
source scripts/steps.sh

step "set-up"
bash scripts/setup.sh
source scripts/wine-env.sh

step "configure"
for arch in x86 x64; do
  peer=x64; [ "$arch" = x64 ] && peer=x86
  cmake --preset "mingw-$arch" -DICONVALE_BUILD_TESTS=ON -DICONVALE_PEER_BUILD="$root/build/mingw-$peer" >/dev/null
done
step "build"
for arch in x86 x64; do
  cmake --build "build/mingw-$arch"
done
# The release zips, for the test of the program a Windows user gets.
step "package"
bash scripts/package.sh

step "start the X server"
start_x_server
trap stop_wine_and_x EXIT
step "prepare the Wine prefix"
make_prefix

# One CTest run over both builds, so that its summary is the last word.
step "run the tests"
cat > build/CTestTestfile.cmake <<CTEST
subdirs("mingw-x86" "mingw-x64")
CTEST
# CTest's own status is the script's: failed tests are reported by CTest, not as a failed step.
trap - ERR
set +e
ctest --test-dir build --output-on-failure --timeout 900 "$@"
exit $?
