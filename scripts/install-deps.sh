#!/usr/bin/env bash
# Installs what the builds and the Wine test bed need, skipping what is there.
# Run as root on Debian 12; it finishes in seconds when nothing is missing.
#
# The Win32 tests run 64-bit builds under the 64-bit Wine: machines of this kind cannot execute
# 32-bit x86 code, so the 32-bit Wine is of no use here. The shipped binaries are the i686 ones.
set -euo pipefail

packages=(
  cmake ninja-build g++ clang libclang-rt-14-dev googletest libgtest-dev
  g++-mingw-w64-i686-win32 g++-mingw-w64-x86-64-posix binutils-mingw-w64-i686
  binutils-mingw-w64-x86-64 wine wine64 xvfb xauth fonts-ipafont-gothic locales zip
)

installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'; }

missing=()
for p in "${packages[@]}"; do
  installed "$p" || missing+=("$p")
done

if [ ${#missing[@]} -gt 0 ]; then
  if [ "$(id -u)" != 0 ]; then
    echo "install-deps: missing ${missing[*]}; run this script as root" >&2
    exit 1
  fi
  export DEBIAN_FRONTEND=noninteractive
  echo "install-deps: installing ${missing[*]}"
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

# The Japanese locale makes Wine's ANSI code page 932.
if ! locale -a 2>/dev/null | grep -qiE '^ja_JP\.utf-?8$'; then
  sed -i 's/^# *ja_JP.UTF-8 UTF-8/ja_JP.UTF-8 UTF-8/' /etc/locale.gen
  grep -q '^ja_JP.UTF-8 UTF-8' /etc/locale.gen || echo 'ja_JP.UTF-8 UTF-8' >>/etc/locale.gen
  locale-gen >/dev/null
fi
exit 0
