#!/usr/bin/env bash
# Installs what is missing and builds the three trees (see README.md).
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${VT_BUILD:-$root/build}
jobs=${VT_JOBS:-$(nproc)}

bash "$root/scripts/install-deps.sh"

configure_and_build() {
  local dir=$1
  shift
  cmake -S "$root" -B "$build/$dir" -G Ninja "$@" >"$build/$dir.configure.log" 2>&1 ||
    { cat "$build/$dir.configure.log"; return 1; }
  cmake --build "$build/$dir" -j "$jobs"
}

mkdir -p "$build"
configure_and_build host -DCMAKE_BUILD_TYPE=Debug
configure_and_build win32 -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-mingw-i686.cmake"
configure_and_build win64 -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-mingw-x86_64.cmake"
# libFuzzer targets (clang) for the installer's parsers: a project of their own.
cmake -S "$root/tests/fuzz" -B "$build/fuzz" -G Ninja -DCMAKE_CXX_COMPILER=clang++ \
  >"$build/fuzz.configure.log" 2>&1 || { cat "$build/fuzz.configure.log"; exit 1; }
cmake --build "$build/fuzz" -j "$jobs"
