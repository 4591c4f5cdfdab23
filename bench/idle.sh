#!/usr/bin/env bash
# What the watcher costs while nothing happens: Iconvale idle over the stand-in desktop, next to
# a do-nothing program with the same 1 ms timer (the floor), measured in the same run.
# Usage: bench/idle.sh [SECONDS]   (default 20)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
seconds=${1:-20}

source bench/bench-env.sh

hz=$(getconf CLK_TCK)
# CPU time (user + system) of a process so far, in clock ticks.
cpu() { awk '{print $14 + $15}' "/proc/$1/stat"; }

wine "$bin/standin.exe" --shell &
sleep 4
server=$(server_pid)

# Floor: runs 2 s to settle, then is measured over the same span as Iconvale.
ticks_file="$root/build/bench-floor-ticks.txt"
rm -f "$ticks_file"
wine "$bin/timer_floor.exe" $((seconds + 4)) "Z:${ticks_file//\//\\}" &
sleep 2
floor=$(prefix_pid 'timer_floor\.exe')
f0=$(cpu "$floor"); s0=$(cpu "$server")
sleep "$seconds"
f1=$(cpu "$floor"); s1=$(cpu "$server")
while [ ! -s "$ticks_file" ]; do sleep 0.5; done
ticks_per_s=$(awk -v t="$(cat "$ticks_file")" -v s=$((seconds + 4)) 'BEGIN { printf "%.0f", t / s }')

wine "$bin/iconvale.exe" &
sleep 3
app=$(prefix_pid 'iconvale\.exe')
a0=$(cpu "$app"); t0=$(cpu "$server")
sleep "$seconds"
a1=$(cpu "$app"); t1=$(cpu "$server")
wine "$bin/iconvale.exe" >/dev/null 2>&1 || true

awk -v hz="$hz" -v s="$seconds" -v tps="$ticks_per_s" \
    -v fp=$((f1 - f0)) -v fs=$((s1 - s0)) -v ap=$((a1 - a0)) -v as=$((t1 - t0)) 'BEGIN {
  ms = 1000 / hz / s   # clock ticks to ms of CPU per second of wall time
  printf "Idle for %d s each, timer ticks per second: %d (measured by the floor)\n", s, tps
  printf "%-22s %12s %12s %12s %16s\n", "CPU ms per s", "program", "wineserver", "together", "us per tick"
  printf "%-22s %12.1f %12.1f %12.1f %16.1f\n", "floor (1 ms timer)", fp * ms, fs * ms, (fp + fs) * ms, (fp + fs) * ms * 1000 / tps
  printf "%-22s %12.1f %12.1f %12.1f %16.1f\n", "iconvale", ap * ms, as * ms, (ap + as) * ms, (ap + as) * ms * 1000 / tps
  if (fp + fs > 0) printf "iconvale / floor: %.2f\n", (ap + as) / (fp + fs)
}'
