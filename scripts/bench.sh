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
