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

# bandhost for 30 seconds showing eight meters, then an empty band: the process's CPU time over
# the wall time (goal: eight meters at most 0.5 % of one core).
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
(cd "$build/win64/platform" && exec "$VT_WINE64" statistics_provider.exe 40 </dev/null >/dev/null 2>&1) &
provider=$!
echo
for run in "8 meters:$eight" "no meters:$empty"; do
  times=$( (cd "$build/win64/platform" &&
    /usr/bin/time -f '%U %S %e' "$VT_WINE64" bandhost.exe /state "$(vt_windows_path "${run#*:}")" \
      /exit 30 </dev/null 2>&1 >/dev/null) | tail -1)
  awk -v what="${run%%:*}" '{ printf "bandhost, %-9s for %.0f s: %.2f s of CPU (user %.2f, system %.2f), %.2f%% of one core\n", what, $3, $1 + $2, $1, $2, 100 * ($1 + $2) / $3 }' <<<"$times"
done
kill "$provider" 2>/dev/null || true
