# Shared by the Wine wrapper and the test and run commands: where Wine is, the prefix, the display.
# Source it; it defines functions and sets nothing until they are called.

# The 64-bit loader runs our test builds natively; the 32-bit one needs the compat layer.
VT_WINE64=/usr/lib/wine/wine64
# The 32-bit loader (wine32:i386), which the 64-bit one hands 32-bit programs to.
VT_WINE32_LOADER=/usr/lib/wine/wine
VT_WINESERVER=/usr/lib/wine/wineserver64
[ -x "$VT_WINESERVER" ] || VT_WINESERVER=$(command -v wineserver || echo wineserver)

vt_wine_environment() {
  export WINEPREFIX="$1"
  export WINEARCH=win64
  export WINEDEBUG=${VT_WINEDEBUG:--all}
  export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
  export LC_ALL=ja_JP.UTF-8
  export WINESERVER="$VT_WINESERVER"
}

# wineboot -i for a new prefix. With the 32-bit Wine installed it also sets up the prefix's 32-bit
# half, which runs under emulation here and takes minutes; a prefix for 64-bit programs only (all
# but VT_WINE_WOW64=1) skips that half: the 32-bit loader is hidden from wineboot in a mount
# namespace of its own, where root may make one. Elsewhere the half is set up after all.
vt_wineboot_init() {
  if [ "${VT_WINE_WOW64:-0}" != 1 ] && [ -e "$VT_WINE32_LOADER" ] && [ "$(id -u)" = 0 ] &&
    unshare -m true 2>/dev/null; then
    unshare -m sh -c 'mount --bind /dev/null "$1" && exec "$0" wineboot -i' \
      "$VT_WINE64" "$VT_WINE32_LOADER" && return 0
  fi
  "$VT_WINE64" wineboot -i
}

# Creates the prefix once (Windows 98 mode, no crash dialog); later calls return at once.
vt_wine_prefix() {
  local prefix=$1
  [ -f "$prefix/.veltrim-ready" ] && return 0
  mkdir -p "$(dirname "$prefix")"
  (
    flock 9
    [ -f "$prefix/.veltrim-ready" ] && exit 0
    rm -rf "$prefix"
    vt_wineboot_init </dev/null >/dev/null 2>&1
    "$VT_WINE64" reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f \
      </dev/null >/dev/null 2>&1
    # Unmanaged windows: without a window manager on Xvfb, Wine would wait on each one.
    "$VT_WINE64" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f \
      </dev/null >/dev/null 2>&1
    # Windows 98 as the version that programs see (winecfg offers it only to 32-bit prefixes).
    "$VT_WINE64" reg add 'HKCU\Software\Wine' /v Version /t REG_SZ /d win98 /f \
      </dev/null >/dev/null 2>&1
    # The dialogs' Japanese font by a free proportional one of similar widths, so that screenshots
    # show the layout much as Windows does rather than with Wine's fixed-pitch fallback.
    "$VT_WINE64" reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontSubstitutes' \
      /v 'ＭＳ Ｐゴシック' /t REG_SZ /d IPAPGothic /f </dev/null >/dev/null 2>&1
    "$VT_WINESERVER" -w
    touch "$prefix/.veltrim-ready"
  ) 9>"$prefix.lock"
}

# Keeps the server up between programs (a cold start costs about a second); it leaves by itself
# a little while after the last program ends.
vt_wine_server() {
  "$VT_WINESERVER" -p"${VT_WINESERVER_LINGER:-15}" </dev/null >/dev/null 2>&1 || true
}

VT_XVFB_PID=""
# Starts an Xvfb on a free display and exports DISPLAY; VT_XVFB_PID is the one to stop.
vt_xvfb_start() {
  local n
  for n in $(seq 91 140); do
    [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] && continue
    Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp </dev/null >/dev/null 2>&1 &
    VT_XVFB_PID=$!
    local i
    for i in $(seq 1 100); do
      [ -e "/tmp/.X11-unix/X$n" ] && break
      kill -0 "$VT_XVFB_PID" 2>/dev/null || break
      sleep 0.05
    done
    if [ -e "/tmp/.X11-unix/X$n" ]; then
      export DISPLAY=":$n"
      return 0
    fi
  done
  echo "no free X display for Xvfb" >&2
  return 1
}

vt_xvfb_stop() {
  [ -n "$VT_XVFB_PID" ] || return 0
  kill "$VT_XVFB_PID" 2>/dev/null
  wait "$VT_XVFB_PID" 2>/dev/null
  VT_XVFB_PID=""
}

# A whole run of Wine programs in one prefix: one display and one long-lived server, both
# stopped by vt_wine_session_stop (install it with trap ... EXIT).
vt_wine_session_start() {
  [ -n "${DISPLAY:-}" ] || vt_xvfb_start
  vt_wine_environment "$1"
  vt_wine_prefix "$1"
  vt_wine_server
}

vt_wine_session_stop() {
  "$VT_WINESERVER" -k 2>/dev/null || true
  vt_xvfb_stop
}

# The Windows form of a host path (drive Z: is the host's root).
vt_windows_path() {
  local path
  path=$(realpath -m "$1")
  printf 'Z:%s' "${path//\//\\}"
}
