#!/usr/bin/env bash
# Runs a Windows program with drive Q: of its prefix on a filesystem of 256 KB, for copies that
# meet a full disk:  small-drive.sh WINE-RUN --prefix DIR PROGRAM [ARGS...]
# The drive is a tmpfs beside the prefix, mounted for the run (as root, like the test command's
# other system steps) and taken away after it.
set -u
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
. "$here/wine-env.sh"
[ "${2:-}" = --prefix ] && [ $# -ge 4 ] ||
  { echo "usage: small-drive.sh WINE-RUN --prefix DIR PROGRAM [ARGS...]" >&2; exit 2; }
prefix=$(realpath -m "$3")
folder=$prefix-small-drive
# The prefix first: creating it later would start from an empty folder.
vt_wine_environment "$prefix"
vt_wine_prefix "$prefix"
mkdir -p "$folder"
mountpoint -q "$folder" || mount -t tmpfs -o size=256k vt-small-drive "$folder" || exit 1
# Also when the run is stopped part-way: a mount left behind would keep the build folder.
trap 'rm -f "$prefix/dosdevices/q:"; umount "$folder" && rmdir "$folder"' EXIT
trap 'exit 143' TERM INT
find "$folder" -mindepth 1 -delete
ln -sfn "$folder" "$prefix/dosdevices/q:"
"$@"
