#!/usr/bin/env bash
# Builds Iconvale for x86 and x64 and runs every test under Wine in a virtual X server.
# Usage: scripts/test.sh [extra ctest arguments]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

bash scripts/setup.sh
source scripts/wine-env.sh

for arch in x86 x64; do
  peer=x64; [ "$arch" = x64 ] && peer=x86
  cmake --preset "mingw-$arch" -DICONVALE_BUILD_TESTS=ON -DICONVALE_PEER_BUILD="$root/build/mingw-$peer" >/dev/null
done
for arch in x86 x64; do
  cmake --build "build/mingw-$arch"
done

start_x_server
trap stop_wine_and_x EXIT
make_prefix

# One CTest run over both builds, so that its summary is the last word.
cat > build/CTestTestfile.cmake <<CTEST
subdirs("mingw-x86" "mingw-x64")
CTEST
set +e
ctest --test-dir build --output-on-failure --timeout 900 "$@"
status=$?
set -e
exit $status
