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
bash "$root/scripts/size-report.sh" "$build/win32"

. "$root/scripts/wine-env.sh"
trap vt_wine_session_stop EXIT
vt_wine_session_start "$build/win64/wineprefix"

rm -rf "$results"
mkdir -p "$results/host" "$results/win64"
status=0
GTEST_OUTPUT="xml:$results/host/" ctest --test-dir "$build/host" --output-on-failure -j "$jobs" ||
  status=1
ctest --test-dir "$build/win32" --output-on-failure || status=1
# One at a time: the Wine programs share the desktop, the registry and HKEY_DYN_DATA.
GTEST_OUTPUT="xml:Z:${results//\//\\}\\win64\\" ctest --test-dir "$build/win64" \
  --output-on-failure || status=1

# Each fuzz target for a bounded time; a crash or sanitizer report fails the run.
fuzzers=0
for fuzzer in "$build"/fuzz/fuzz_*; do
  [ -x "$fuzzer" ] || continue
  fuzzers=$((fuzzers + 1))
  # A target with seeds in tests/fuzz/corpus/NAME starts from a copy of them.
  name=$(basename "$fuzzer")
  corpus=$results/corpus/$name
  mkdir -p "$corpus"
  seeds=$root/tests/fuzz/corpus/${name#fuzz_}
  if [ -d "$seeds" ]; then cp "$seeds"/* "$corpus"/; fi
  "$fuzzer" -max_total_time="${VT_FUZZ_SECONDS:-15}" "$corpus" >"$results/$name.log" 2>&1 ||
    { tail -40 "$results/$name.log"; status=1; }
done
echo "fuzz targets: $fuzzers run for ${VT_FUZZ_SECONDS:-15} s each"

bash "$root/scripts/test-summary.sh" "$results" || status=1
exit $status
