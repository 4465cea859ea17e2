#!/usr/bin/env bash
# The Windows 98 import gate: a shipped binary may import only from the platform's DLLs (the
# allowlist's "DLL name" lines) and only the functions the allowlist names (DLL!Function, with
# where it exists); it has an entry point and OS and subsystem version 4.0. Prints what is not so.
# usage: check-imports.sh ALLOWLIST BINARY...
set -euo pipefail
allow=$1
shift
objdump=${OBJDUMP:-i686-w64-mingw32-objdump}

entries=$(sed -e 's/#.*//' "$allow" | tr 'A-Z' 'a-z')
dlls=$(awk '$1 == "dll" { print $2 }' <<<"$entries" | sort -u)
allowed=$(awk '$1 ~ /!/ { print $1 }' <<<"$entries" | sort -u)
status=0
for binary in "$@"; do
  header=$("$objdump" -p "$binary")
  imports=$(awk '
    /^[[:space:]]*DLL Name:/ { dll = tolower($3); listing = 0; next }
    /Hint\/Ord/ { listing = (dll != ""); next }
    /^[[:space:]]*$/ { listing = 0; next }
    listing && NF >= 3 { print dll "!" tolower($3) }
  ' <<<"$header" | sort -u)
  count=$(printf '%s\n' "$imports" | grep -c . || true)
  foreign=$(awk -F'!' 'NR == FNR { platform[$1] = 1; next } $1 != "" && !($1 in platform)' \
    <(printf '%s\n' "$dlls") <(printf '%s\n' "$imports"))
  bad=$(comm -23 <(printf '%s\n' "$imports") <(printf '%s\n' "$allowed" "$foreign" | sort -u) |
    grep . || true)
  version=$(awk '/MajorOSystemVersion|MajorSubsystemVersion/ { print $2 }' <<<"$header" | sort -u)
  entry=$(awk '/AddressOfEntryPoint/ { print $2 }' <<<"$header")
  if [ "$version" != "4" ]; then
    echo "$binary: OS or subsystem version is not 4.0"
    status=1
  fi
  if [ -z "$entry" ] || [ $((16#$entry)) -eq 0 ]; then
    echo "$binary: no entry point"
    status=1
  fi
  if [ -n "$foreign" ]; then
    echo "$binary: imports from DLLs that are not part of the platform:"
    printf '  %s\n' $foreign
    status=1
  fi
  if [ -n "$bad" ]; then
    echo "$binary: imports not known to exist on Windows 98:"
    printf '  %s\n' $bad
    status=1
  fi
  [ $status -ne 0 ] || echo "$binary: $count imports, all from the platform's DLLs and on the Windows 98 list"
done
exit $status
