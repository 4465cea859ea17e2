#!/usr/bin/env bash
# Bytes of each shipped binary of the i686 tree.
set -euo pipefail
tree=$1
echo "shipped binaries (i686, stripped, static runtime):"
for f in "$tree/band/vt.dll" "$tree/setup/setup.exe"; do
  [ -f "$f" ] || continue
  printf '  %-12s %8d bytes\n' "$(basename "$f")" "$(stat -c %s "$f")"
done
