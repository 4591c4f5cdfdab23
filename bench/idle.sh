#!/usr/bin/env bash
# What Iconvale costs while nothing happens, next to what a program can cost: over one span, in one
# run, Iconvale idle over the stand-in desktop; a program blocked in GetMessage (the floor); the
# watcher as it was, a program with a 1 ms window timer that does nothing; and a program that
# wakes once a second and asks the list view two things (what the slow check may cost). Measured
# twice, with transparent labels on: in large icons and in small icons (where the scroll is
# followed too).
# A wake-up is a context switch of one of the program's threads (voluntary and not, from
# /proc/PID/task/*/status): under Wine each message to another process costs several.
# Usage: bench/idle.sh [SECONDS [ICONVALE_EXE]]   (default 20 s, the x64 build's program; pass
# another build's to compare)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
seconds=${1:-20}

source bench/bench-env.sh
app=${2:-$bin/iconvale.exe}

hz=$(getconf CLK_TCK)
# CPU time (user + system) of a process so far, in clock ticks.
cpu() { awk '{print $14 + $15}' "/proc/$1/stat"; }
# Context switches of all of a process's threads so far.
switches() {
  cat /proc/"$1"/task/*/status 2>/dev/null |
    awk '/^(voluntary|nonvoluntary)_ctxt_switches/ { n += $2 } END { print n + 0 }'
}

started=()
stop_started() {
  local pid
  for pid in "${started[@]}"; do kill "$pid" >/dev/null 2>&1 || true; done
  started=()
}
trap 'stop_started; stop_wine_and_x' EXIT

wine "$bin/standin.exe" --shell &
sleep 4

# Starts a program of the prefix as row NAME, once it runs (with no subshell, which would run
# the exit trap).
declare -A pids
start() {
  local name=$1 pattern=$2 pid=""
  shift 2
  # In a subshell of its own, so that its end is no job of this shell's to report.
  (wine "$@" >/dev/null 2>&1 &)
  for _ in $(seq 1 50); do
    pid=$(prefix_pid "$pattern")
    [ -n "$pid" ] && break
    sleep 0.2
  done
  pids[$name]=$pid
  started+=("$pid")
}

measure() {
  local view=$1 name pid
  wine reg add 'HKCU\Software\Marun soft\Kivo' /v 'Text Color' /d 1 /f >/dev/null
  wine reg add 'HKCU\Software\Marun soft\Kivo' /v 'Desktop Icon' /d "$view" /f >/dev/null
  start floor 'check1s\.exe --floor' "$bin/check1s.exe" --floor
  start timer 'timer_floor\.exe' "$bin/timer_floor.exe" $((seconds + 30)) 'C:\timer-ticks.txt'
  start check1s 'check1s\.exe$' "$bin/check1s.exe"
  start iconvale 'iconvale\.exe' "$app"
  # Past the start-up: the desktop has settled and the label background was read.
  sleep 4
  declare -A c0 w0 c1 w1
  for name in "${!pids[@]}"; do
    c0[$name]=$(cpu "${pids[$name]}")
    w0[$name]=$(switches "${pids[$name]}")
  done
  sleep "$seconds"
  for name in "${!pids[@]}"; do
    c1[$name]=$(cpu "${pids[$name]}")
    w1[$name]=$(switches "${pids[$name]}")
  done
  wine "$app" /exit >/dev/null 2>&1 || true
  stop_started

  echo "Idle for $seconds s, transparent labels on, $([ "$view" = 1 ] && echo large || echo small) icons:"
  printf "%-10s %12s %12s\n" "" "wakeups/s" "cpu ms/s"
  for name in floor timer check1s iconvale; do
    awk -v n="$name" -v s="$seconds" -v hz="$hz" -v w=$((w1[$name] - w0[$name])) -v c=$((c1[$name] - c0[$name])) \
      'BEGIN { printf "%-10s %12.1f %12.1f\n", n, w / s, c * 1000 / hz / s }'
  done
}

measure 1
measure 2
