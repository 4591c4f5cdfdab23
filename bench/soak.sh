#!/usr/bin/env bash
# Memory of Iconvale and of the stand-in desktop as Linux sees them (resident set, kB), first while
# Iconvale idles for MINUTES, then over CYCLES save/restore cycles. Flat figures mean nothing
# grows; under Wine GetGuiResources and the private-bytes counter read 0, so they prove nothing.
# Usage: bench/soak.sh [MINUTES] [CYCLES]   (defaults 10 and 1000)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
minutes=${1:-10}
cycles=${2:-1000}

source bench/bench-env.sh

rss() { awk '/^VmRSS/ {print $2}' "/proc/$1/status" 2>/dev/null || echo gone; }

wine "$bin/standin.exe" --scripted --items=50 &
sleep 4
shell=$(prefix_pid 'standin\.exe')
wine "$bin/iconvale.exe" &
sleep 4
app=$(prefix_pid 'iconvale\.exe')

echo "Iconvale idle over the stand-in (50 icons), resident kB:"
printf "%8s %12s %12s\n" minute iconvale stand-in
for minute in $(seq 0 "$minutes"); do
  printf "%8d %12s %12s\n" "$minute" "$(rss "$app")" "$(rss "$shell")"
  [ "$minute" -lt "$minutes" ] && sleep 60
done
kill "$app" 2>/dev/null || true

echo "Save and restore cycles against the stand-in, resident kB:"
printf "%-48s %12s %12s\n" progress program stand-in
wine "$bin/soak.exe" "$cycles" | while read -r line; do
  soak=$(prefix_pid 'soak\.exe' || true)
  printf "%-48s %12s %12s\n" "$line" "$( [ -n "$soak" ] && rss "$soak" || echo -)" "$(rss "$shell")"
done
