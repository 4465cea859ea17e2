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

bash "$root/scripts/build.sh" >"$build.run-build.log" 2>&1 ||
  { tail -30 "$build.run-build.log"; exit 1; }

. "$root/scripts/wine-env.sh"
interactive=0
[ -n "${DISPLAY:-}" ] && interactive=1
provider=""
stop() {
  [ -n "$provider" ] && kill "$provider" 2>/dev/null
  vt_wine_session_stop
}
trap stop EXIT
vt_wine_session_start "$build/win64/wineprefix"

win=$build/win64
"$VT_WINE64" regsvr32 /s "$(vt_windows_path "$win/band/vt.dll")" </dev/null >/dev/null 2>&1
(cd "$win/platform" && exec "$VT_WINE64" statistics_provider.exe </dev/null >/dev/null 2>&1) &
provider=$!

state=$(vt_windows_path "$build/band-state.bin")
cd "$win/platform"
if [ $interactive = 1 ]; then
  "$VT_WINE64" bandhost.exe /state "$state" /default
else
  shot=$build/screenshots/bandhost.png
  mkdir -p "$(dirname "$shot")"
  rm -f "$shot"
  "$VT_WINE64" bandhost.exe /state "$state" /default /exit "$seconds" \
    /screenshot "$(vt_windows_path "$shot")"
  [ -f "$shot" ] || { echo "run: no screenshot was written" >&2; exit 1; }
  echo "screenshot: $shot"
fi
