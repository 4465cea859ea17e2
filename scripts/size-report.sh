#!/usr/bin/env bash
# Bytes of each shipped binary of the i686 tree.
set -euo pipefail
tree=$1
echo "shipped binaries (i686, stripped, no C runtime):"
# Each with the size it may reach at most.
for entry in "band/vt.dll 36864" "setup/setup.exe 24576"; do
  f=$tree/${entry% *}
  goal=${entry#* }
  [ -f "$f" ] || continue
  size=$(stat -c %s "$f")
  verdict="within"
  [ "$size" -le "$goal" ] || verdict="OVER"
  printf '  %-12s %8d bytes (%s the goal of %d)\n' "$(basename "$f")" "$size" "$verdict" "$goal"
done
