#!/usr/bin/env bash
# Installs what the builds and the Wine test bed need, skipping what is there.
# Run as root on Debian 12; it finishes in seconds when nothing is missing.
set -euo pipefail

need=()
have_pkg() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'; }

if ! dpkg --print-foreign-architectures | grep -qx i386; then
  dpkg --add-architecture i386
  apt_updated=0
fi

for p in wine wine32:i386 g++-mingw-w64-i686 mingw-w64-i686-dev xvfb xauth fonts-ipafont-gothic \
         locales cmake ninja-build g++ clang libclang-rt-14-dev googletest libgtest-dev \
         x11-apps netpbm imagemagick zip binutils-mingw-w64-i686 ; do
  have_pkg "$p" || need+=("$p")
done

if [ ${#need[@]} -gt 0 ]; then
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${need[@]}"
fi

# The Japanese locale makes Wine's ANSI code page 932.
if ! locale -a 2>/dev/null | grep -qiE '^ja_JP\.utf-?8$'; then
  sed -i 's/^# *ja_JP.UTF-8 UTF-8/ja_JP.UTF-8 UTF-8/' /etc/locale.gen
  grep -q '^ja_JP.UTF-8 UTF-8' /etc/locale.gen || echo 'ja_JP.UTF-8 UTF-8' >>/etc/locale.gen
  locale-gen >/dev/null
fi

# MinGW's default alternative must be the win32 thread model (no winpthread at run time).
if command -v update-alternatives >/dev/null; then
  for t in gcc g++; do
    alt=/usr/bin/i686-w64-mingw32-$t-win32
    [ -x "$alt" ] && update-alternatives --set i686-w64-mingw32-$t "$alt" >/dev/null 2>&1 || true
  done
fi
exit 0
