#!/usr/bin/env bash
# The test command: installs what is missing, builds the three trees and runs every test.
#   build/host   the portable core, natively, with AddressSanitizer and UBSan
#   build/win32  the shipped i686 binaries, checked by the Windows 98 import gate
#   build/win64  the same sources as 64-bit programs, whose tests run under Wine
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${VT_BUILD:-$root/build}
results=$build/results
jobs=${VT_JOBS:-$(nproc)}

bash "$root/scripts/build.sh"

. "$root/scripts/wine-env.sh"
prefix=$build/win64/wineprefix
cleanup() {
  WINEPREFIX=$prefix "$VT_WINESERVER" -k 2>/dev/null || true
  vt_xvfb_stop
}
trap cleanup EXIT
# One display and one long-lived Wine server for the whole run.
[ -n "${DISPLAY:-}" ] || vt_xvfb_start
vt_wine_environment "$prefix"
vt_wine_prefix "$prefix"

rm -rf "$results"
mkdir -p "$results/host" "$results/win64"
status=0
GTEST_OUTPUT="xml:$results/host/" ctest --test-dir "$build/host" --output-on-failure -j "$jobs" ||
  status=1
ctest --test-dir "$build/win32" --output-on-failure || status=1
GTEST_OUTPUT="xml:Z:${results//\//\\}\\win64\\" ctest --test-dir "$build/win64" \
  --output-on-failure -j "$jobs" || status=1

# Each fuzz target for a bounded time; a crash or sanitizer report fails the run.
fuzzers=0
for fuzzer in "$build"/fuzz/fuzz_*; do
  [ -x "$fuzzer" ] || continue
  fuzzers=$((fuzzers + 1))
  "$fuzzer" -max_total_time="${VT_FUZZ_SECONDS:-15}" >"$results/$(basename "$fuzzer").log" 2>&1 ||
    { tail -40 "$results/$(basename "$fuzzer").log"; status=1; }
done
echo "fuzz targets: $fuzzers run for ${VT_FUZZ_SECONDS:-15} s each"

bash "$root/scripts/test-summary.sh" "$results" || status=1
exit $status
