#!/usr/bin/env bash
# The Windows 98 import gate: every function that a shipped binary imports must be listed in the
# allowlist (DLL!Function, with where it exists). Prints each binary's imports that are not.
# usage: check-imports.sh ALLOWLIST BINARY...
set -euo pipefail
allow=$1
shift
objdump=${OBJDUMP:-i686-w64-mingw32-objdump}

allowed=$(sed -e 's/#.*//' -e 's/[[:space:]]//g' "$allow" | grep -v '^$' | tr 'A-Z' 'a-z' | sort -u)
status=0
for binary in "$@"; do
  imports=$("$objdump" -p "$binary" | awk '
    /^[[:space:]]*DLL Name:/ { dll = tolower($3); listing = 0; next }
    /Hint\/Ord/ { listing = (dll != ""); next }
    /^[[:space:]]*$/ { listing = 0; next }
    listing && NF >= 3 { print dll "!" tolower($3) }
  ' | sort -u)
  count=$(printf '%s\n' "$imports" | grep -c . || true)
  bad=$(comm -23 <(printf '%s\n' "$imports") <(printf '%s\n' "$allowed") | grep . || true)
  version=$("$objdump" -p "$binary" | awk '/MajorOSystemVersion|MajorSubsystemVersion/ { print $2 }' | sort -u)
  if [ "$version" != "4" ]; then
    echo "$binary: OS or subsystem version is not 4.0"
    status=1
  fi
  if [ -n "$bad" ]; then
    echo "$binary: imports not known to exist on Windows 98:"
    printf '  %s\n' $bad
    status=1
  else
    echo "$binary: $count imports, all on the Windows 98 list"
  fi
done
exit $status
