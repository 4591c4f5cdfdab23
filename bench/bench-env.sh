# Shared by the benchmarks; source it from the repository root. Builds the x64 programs, starts a
# virtual X server and the Wine prefix, and clears Iconvale's settings.
bash scripts/setup.sh
source scripts/wine-env.sh
cmake --preset mingw-x64 -DICONVALE_BUILD_TESTS=ON >/dev/null
cmake --build build/mingw-x64 >/dev/null
bin="$PWD/build/mingw-x64"

start_x_server
trap stop_wine_and_x EXIT
make_prefix
wine reg delete 'HKCU\Software\Marun soft\Kivo' /f >/dev/null 2>&1 || true

# Whether a process belongs to this prefix: other prefixes on the machine run programs of the same
# names, and a server of their own.
of_prefix() { tr '\0' '\n' 2>/dev/null <"/proc/$1/environ" | grep -qx "WINEPREFIX=$WINEPREFIX"; }
# The newest process of this prefix whose command line matches.
prefix_pid() {
  local pid found=""
  for pid in $(pgrep -f "$1"); do
    if of_prefix "$pid"; then found=$pid; fi
  done
  echo "$found"
}
server_pid() {
  local pid
  for pid in $(pgrep -x 'wineserver|wineserver64'); do
    if of_prefix "$pid"; then
      echo "$pid"
      return
    fi
  done
}
