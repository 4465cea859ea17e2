#!/usr/bin/env bash
# The test command: installs what is missing, builds the three trees and runs every test.
#   build/host   the portable core, natively, with AddressSanitizer and UBSan
#   build/win32  the shipped i686 binaries, checked by the Windows 98 import gate
#   build/win64  the same sources as 64-bit programs, whose tests run under Wine
# and then the i686 lane: the shipped binaries of build/win32/dist under the 32-bit Wine through
# qemu-i386 (VT_SKIP_I686=1 leaves it out where qemu cannot be registered; CI never does).
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
mkdir -p "$results/host" "$results/win64" "$results/i686"
status=0
GTEST_OUTPUT="xml:$results/host/" ctest --test-dir "$build/host" --output-on-failure -j "$jobs" ||
  status=1
ctest --test-dir "$build/win32" -LE i686 --output-on-failure || status=1
# One at a time: the Wine programs share the desktop, the registry and HKEY_DYN_DATA.
GTEST_OUTPUT="xml:Z:${results//\//\\}\\win64\\" ctest --test-dir "$build/win64" -LE i686 \
  --output-on-failure || status=1

# Why the 32-bit Wine cannot run here, or nothing.
i686_obstacle() {
  [ -x /usr/lib/wine/wine ] || { echo "the 32-bit Wine (wine32:i386) is not installed"; return; }
  [ -x /usr/bin/qemu-i386-static ] || { echo "qemu-user-static is not installed"; return; }
  grep -qx enabled /proc/sys/fs/binfmt_misc/qemu-i386 2>/dev/null ||
    echo "qemu-i386 is not registered for 32-bit programs in binfmt_misc (needs root and" \
      "binfmt_misc; scripts/install-deps.sh does it)"
}

# The i686 lane: the shipped 32-bit binaries in a prefix of build/win32, then the installer of
# build/win32/dist driven from the 64-bit tree; its time is printed.
i686_lane() {
  local obstacle started lane=0
  obstacle=$(i686_obstacle)
  # A developer's quick run leaves the slow lane out on request, whether or not it could run.
  if [ "${VT_SKIP_I686:-}" = 1 ] && [ "${CI:-}" != true ]; then
    echo "i686 lane: left out (VT_SKIP_I686=1)${obstacle:+: $obstacle}"
    return 0
  fi
  if [ -n "$obstacle" ]; then
    echo "i686 lane: cannot run: $obstacle. VT_SKIP_I686=1 leaves the lane out." >&2
    return 1
  fi
  started=$(date +%s)
  # The prefix with its 32-bit half (a few minutes under emulation the first time).
  (
    vt_wine_environment "$build/win32/wineprefix"
    VT_WINE_WOW64=1 vt_wine_prefix "$build/win32/wineprefix"
  ) || lane=1
  echo "i686 lane: prefix ready after $(($(date +%s) - started)) s"
  GTEST_OUTPUT="xml:Z:${results//\//\\}\\i686\\" ctest --test-dir "$build/win32" -L i686 \
    --output-on-failure || lane=1
  GTEST_OUTPUT="xml:Z:${results//\//\\}\\i686\\" ctest --test-dir "$build/win64" -L i686 \
    --output-on-failure || lane=1
  echo "i686 lane: $(($(date +%s) - started)) s"
  return $lane
}
i686_lane || status=1

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
  "$fuzzer" -max_total_time="${VT_FUZZ_SECONDS:-30}" "$corpus" >"$results/$name.log" 2>&1 ||
    { tail -40 "$results/$name.log"; status=1; }
done
echo "fuzz targets: $fuzzers run for ${VT_FUZZ_SECONDS:-30} s each"

bash "$root/scripts/test-summary.sh" "$results" || status=1
exit $status
