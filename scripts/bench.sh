#!/usr/bin/env bash
# Prints the benchmark figures: the size of each shipped binary, then every benchmark program
# (tests/bench, bench_*.exe in the 64-bit tree) under Wine. Figures, not pass/fail.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${VT_BUILD:-$root/build}

bash "$root/scripts/build.sh" >/dev/null
bash "$root/scripts/size-report.sh" "$build/win32"

. "$root/scripts/wine-env.sh"
trap vt_wine_session_stop EXIT
vt_wine_session_start "$build/win64/wineprefix"

for bench in "$build"/win64/tests/bench/bench_*.exe; do
  [ -f "$bench" ] || continue
  echo
  (cd "$(dirname "$bench")" && "$VT_WINE64" "$bench")
done

# The band's steady cost: bandhost showing eight meters and an empty band, each against a plain
# window whose 100 ms timer does nothing (tests/bench/timer_floor.cpp), all in this run. Each
# program runs VT_BENCH_WARMUP seconds (10) past its start, then its own CPU time is counted over
# VT_BENCH_SPAN seconds (60) from the kernel's per-thread nanosecond figures (the 10 ms clock ticks
# are too coarse here). The wineserver's share over the same span, which the statistics stand-in's
# writes make swing, is printed beside, not set against the floor.
le32() { printf "\\x$(printf %02x $(($1 & 255)))\\x$(printf %02x $(($1 >> 8 & 255)))\\x$(printf %02x $(($1 >> 16 & 255)))\\x$(printf %02x $(($1 >> 24 & 255)))"; }
meter() { le32 ${#1}; printf '%s\0' "$1"; le32 "$2"; le32 "$3"; le32 1; le32 1000; le32 0; }
options() { le32 1; le32 1; le32 2; le32 0; le32 0; }
eight=$build/bench-eight-meters.bin
{
  options
  meter 'KERNEL\CPUUsage' 0 -1
  meter 'KERNEL\Threads' 0 -1
  meter 'VFAT\BytesRead' 0 -1
  meter 'Memory\Load' 3 0
  meter 'Memory\AvailPhys' 3 1
  meter 'Resource\GDI' 1 1
  meter 'Drive\C:\' 2 0
  meter 'Drive\Z:\' 2 1
  le32 0
} >"$eight"
empty=$build/bench-no-meters.bin
{
  options
  le32 0
} >"$empty"
"$VT_WINE64" regsvr32 /s "$(vt_windows_path "$build/win64/band/vt.dll")" </dev/null >/dev/null 2>&1
warmup=${VT_BENCH_WARMUP:-10}
span=${VT_BENCH_SPAN:-60}
(cd "$build/win64/platform" &&
  exec "$VT_WINE64" statistics_provider.exe $((3 * (warmup + span + 5))) </dev/null >/dev/null 2>&1) &
provider=$!

# On-CPU nanoseconds of a process's threads so far.
cpu_ns() { cat /proc/"$1"/task/*/schedstat 2>/dev/null | awk '{ s += $1 } END { printf "%.0f", s }'; }
# The prefix's wineserver: the one whose folder is named after the prefix's device and inode.
wineserver_pid() {
  local folder p
  folder=$(printf 'server-%x-%x' $(stat -c '%d %i' "$WINEPREFIX"))
  for p in /proc/[0-9]*; do
    case $(readlink "$p/exe" 2>/dev/null) in *wineserver*) ;; *) continue ;; esac
    if [ "$(basename "$(readlink "$p/cwd" 2>/dev/null)")" = "$folder" ]; then
      echo "${p#/proc/}"
      return 0
    fi
  done
}
# Runs a program of FOLDER past its start-up and prints its CPU and the server's over the span
# in % of one core: "program server".
steady_cpu() {
  local folder=$1 pid server t0 t1 p0 p1 s0 s1
  shift
  (cd "$folder" && exec "$VT_WINE64" "$@" </dev/null >/dev/null 2>&1) &
  pid=$!
  sleep "$warmup"
  server=$(wineserver_pid)
  t0=$(date +%s%N) p0=$(cpu_ns "$pid") s0=$(cpu_ns "$server")
  sleep "$span"
  t1=$(date +%s%N) p1=$(cpu_ns "$pid") s1=$(cpu_ns "$server")
  wait "$pid" || true
  # A server that was not found, or not the same one throughout, has no share ("-").
  [ -n "$server" ] && [ "$(wineserver_pid)" = "$server" ] || s1=-1 s0=0
  awk -v p=$((p1 - p0)) -v s=$((s1 - s0)) -v t=$((t1 - t0)) \
    'BEGIN { printf "%.4f %s", 100 * p / t, s < 0 ? "-" : sprintf("%.3f", 100 * s / t) }'
}

echo
echo "Steady state: CPU over $span s after $warmup s of start-up, % of one core (wineserver beside):"
run=$((warmup + span + 2))
floor=$(steady_cpu "$build/win64/tests/bench" timer_floor.exe "$run")
empty_band=$(steady_cpu "$build/win64/platform" bandhost.exe /state "$(vt_windows_path "$empty")" \
  /exit "$run")
eight_band=$(steady_cpu "$build/win64/platform" bandhost.exe /state "$(vt_windows_path "$eight")" \
  /exit "$run")
kill "$provider" 2>/dev/null || true
read -r floor_cpu floor_server <<<"$floor"
line() {
  read -r cpu server <<<"$2"
  awk -v what="$1" -v cpu="$cpu" -v server="$server" -v floor="$floor_cpu" -v goal="$3" 'BEGIN {
    ratio = !goal ? "" : floor > 0 ? sprintf("= %.2f x floor (goal: at most %s)", cpu / floor, goal) : "(no floor)"
    printf "  %-42s %6.3f %% %-34s wineserver %s %%\n", what, cpu, ratio, server }'
}
line "floor: a window with an idle 100 ms timer" "$floor" ""
line "bandhost, empty band" "$empty_band" 1.2
line "bandhost, 8 meters" "$eight_band" 2
