#!/usr/bin/env bash
# Bytes of each shipped binary of the i686 tree.
set -euo pipefail
tree=$1
echo "shipped binaries (i686, stripped, static runtime):"
# Each with the size it has to stay under.
for entry in "band/vt.dll 49152" "setup/setup.exe 65536"; do
  f=$tree/${entry% *}
  goal=${entry#* }
  [ -f "$f" ] || continue
  size=$(stat -c %s "$f")
  verdict="under"
  [ "$size" -lt "$goal" ] || verdict="OVER"
  printf '  %-12s %8d bytes (%s the goal of %d)\n' "$(basename "$f")" "$size" "$verdict" "$goal"
done
