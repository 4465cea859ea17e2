#!/usr/bin/env bash
# Prints the benchmark figures: the size of each shipped binary, then every benchmark program
# (tests/bench, bench_*.exe in the 64-bit tree) under Wine. Figures, not pass/fail.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${VT_BUILD:-$root/build}

bash "$root/scripts/build.sh" >/dev/null
bash "$root/scripts/size-report.sh" "$build/win32"

. "$root/scripts/wine-env.sh"
prefix=$build/win64/wineprefix
cleanup() {
  WINEPREFIX=$prefix "$VT_WINESERVER" -k 2>/dev/null || true
  vt_xvfb_stop
}
trap cleanup EXIT
[ -n "${DISPLAY:-}" ] || vt_xvfb_start
vt_wine_environment "$prefix"
vt_wine_prefix "$prefix"
vt_wine_server

for bench in "$build"/win64/tests/bench/bench_*.exe; do
  [ -f "$bench" ] || continue
  echo
  (cd "$(dirname "$bench")" && "$VT_WINE64" "$bench")
done
