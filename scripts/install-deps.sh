#!/usr/bin/env bash
# Installs what the builds and the Wine test bed need, skipping what is there.
# Run as root on Debian 12; it finishes in seconds when nothing is missing.
#
# Most Win32 tests run 64-bit builds under the 64-bit Wine. Machines of this kind cannot execute
# 32-bit x86 code natively, so the i686 lane runs the shipped binaries under the 32-bit Wine through
# qemu-i386, registered here for 32-bit ELF programs.
set -euo pipefail

packages=(
  cmake ninja-build g++ clang libclang-rt-14-dev googletest libgtest-dev
  g++-mingw-w64-i686-win32 g++-mingw-w64-x86-64-posix binutils-mingw-w64-i686
  binutils-mingw-w64-x86-64 wine wine64 xvfb xauth fonts-ipafont-gothic locales zip
  wine32:i386 qemu-user-static
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
  # wine32 comes from the i386 half of the archive.
  dpkg --print-foreign-architectures | grep -qx i386 || dpkg --add-architecture i386
  echo "install-deps: installing ${missing[*]}"
  apt-get update -qq
  apt-get -o DPkg::Lock::Timeout=900 install -y -qq --no-install-recommends "${missing[@]}" \
    >/dev/null
fi

# The Japanese locale makes Wine's ANSI code page 932.
if ! locale -a 2>/dev/null | grep -qiE '^ja_JP\.utf-?8$'; then
  sed -i 's/^# *ja_JP.UTF-8 UTF-8/ja_JP.UTF-8 UTF-8/' /etc/locale.gen
  grep -q '^ja_JP.UTF-8 UTF-8' /etc/locale.gen || echo 'ja_JP.UTF-8 UTF-8' >>/etc/locale.gen
  locale-gen >/dev/null
fi

# qemu-i386 for 32-bit x86 ELF programs (the 32-bit Wine loader). Where this cannot be done the
# i686 lane of the test command says so and fails; it does not fail the installation.
register_qemu_i386() {
  local misc=/proc/sys/fs/binfmt_misc
  [ -e "$misc/qemu-i386" ] && return 0
  if [ ! -e "$misc/register" ]; then
    mount -t binfmt_misc binfmt_misc "$misc" 2>/dev/null || return 1
  fi
  [ -e "$misc/qemu-i386" ] && return 0
  # The kernel decodes the \x escapes itself.
  printf '%s' ':qemu-i386:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:/usr/bin/qemu-i386-static:OCF' \
    >"$misc/register" 2>/dev/null
}
if [ "$(id -u)" = 0 ] && [ -x /usr/bin/qemu-i386-static ]; then
  register_qemu_i386 || echo "install-deps: could not register qemu-i386 for 32-bit programs" >&2
fi
exit 0
