#!/usr/bin/env bash
# The run command: builds what is missing, registers the band in the Wine prefix, starts the
# statistics stand-in and shows the band in bandhost, the shell's stand-in. With a display the
# strip stays open until you close it; without one it runs on Xvfb for a few seconds and
# writes a screenshot, whose path it prints. The band's state is kept in build/band-state.bin
# between runs (delete the file to start again from the default meters).
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${VT_BUILD:-$root/build}
seconds=${VT_RUN_SECONDS:-6}
win=$build/win64
log=$build/run-build.log
started=$(date +%s)

# One line per step, so that a first run is never silent for minutes.
step() { echo "run: $* ($(($(date +%s) - started)) s)"; }

step "installing what is missing"
bash "$root/scripts/install-deps.sh"
mkdir -p "$build"
: >"$log"
# Only what is shown: the 64-bit vt.dll, the shell's stand-in and the statistics stand-in.
if [ ! -f "$win/build.ninja" ]; then
  step "configuring build/win64"
  cmake -S "$root" -B "$win" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-mingw-x86_64.cmake" >>"$log" 2>&1 ||
    { tail -30 "$log"; exit 1; }
fi
step "building vt.dll, bandhost.exe and statistics_provider.exe (log: $log)"
cmake --build "$win" --target vt bandhost statistics_provider >>"$log" 2>&1 ||
  { tail -30 "$log"; exit 1; }

. "$root/scripts/wine-env.sh"
interactive=0
[ -n "${DISPLAY:-}" ] && interactive=1
provider=""
stop() {
  [ -n "$provider" ] && kill "$provider" 2>/dev/null
  vt_wine_session_stop
}
trap stop EXIT
[ -f "$win/wineprefix/.veltrim-ready" ] || step "creating the Wine prefix (once)"
vt_wine_session_start "$win/wineprefix"

step "registering vt.dll"
"$VT_WINE64" regsvr32 /s "$(vt_windows_path "$win/band/vt.dll")" </dev/null >/dev/null 2>&1
step "starting the statistics stand-in"
(cd "$win/platform" && exec "$VT_WINE64" statistics_provider.exe </dev/null >/dev/null 2>&1) &
provider=$!

state=$(vt_windows_path "$build/band-state.bin")
cd "$win/platform"
if [ $interactive = 1 ]; then
  step "showing the band; close the window to end"
  "$VT_WINE64" bandhost.exe /state "$state" /default
else
  shot=$build/screenshots/bandhost.png
  mkdir -p "$(dirname "$shot")"
  rm -f "$shot"
  step "showing the band for $seconds s on Xvfb"
  "$VT_WINE64" bandhost.exe /state "$state" /default /exit "$seconds" \
    /screenshot "$(vt_windows_path "$shot")"
  [ -f "$shot" ] || { echo "run: no screenshot was written" >&2; exit 1; }
  step "done"
  echo "screenshot: $shot"
fi
