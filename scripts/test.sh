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

# Tests that use a desktop run side by side, each in a slot of its own (see wine-env.sh).
slots=${ICONVALE_TEST_SLOTS:-4}
[[ $slots =~ ^[1-9][0-9]*$ ]] || { echo "test.sh: ICONVALE_TEST_SLOTS must be a number of slots, not \"$slots\"" >&2; exit 2; }
step "start the X servers"
trap stop_wine_and_x EXIT
start_slot_servers "$slots"
step "prepare the Wine prefixes"
make_prefix
make_slot_prefixes
# CTest hands each such test one free slot (tests/CMakeLists.txt: RESOURCE_GROUPS).
resources="$ICONVALE_SLOTS_DIR/resources.json"
entries=()
for ((i = 0; i < slots; i++)); do entries+=("{\"id\": \"slot$i\", \"slots\": 1}"); done
(IFS=,; printf '{"version": {"major": 1, "minor": 0}, "local": [{"desktop": [%s]}]}\n' "${entries[*]}") > "$resources"

# One CTest run over both builds, so that its summary is the last word.
step "run the tests"
cat > build/CTestTestfile.cmake <<CTEST
subdirs("mingw-x86" "mingw-x64")
CTEST
# CTest's own status is the script's: failed tests are reported by CTest, not as a failed step.
trap - ERR
set +e
ctest --test-dir build --resource-spec-file "$resources" -j "$slots" --output-on-failure --timeout 900 "$@"
exit $?
