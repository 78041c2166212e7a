#!/usr/bin/env bash
# A library exports the functions of its interface as cdecl, undecorated:
# exactly the nine of the plug-in interface, or, with names given, at least
# those. On 32-bit Windows a stdcall export would carry an @N suffix.
#   check_exports.sh OBJDUMP LIBRARY [NAME...]
set -eu
objdump=$1 dll=$2
shift 2
fail() { echo "FAIL: $*" >&2; exit 1; }
machine=$("$objdump" -f "$dll" | sed -n 's/^architecture: \([^,]*\),.*/\1/p')
names=$("$objdump" -p "$dll" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' |
        sed -n 's/^\s*\[ *[0-9]*\] //p' | sort)
decorated=$(grep -e '@' -e '^_' <<<"$names" | tr '\n' ' ' || true)
[ -z "$decorated" ] || fail "decorated exports ($machine): $decorated"
if [ $# -eq 0 ]; then
  expected="CloseSession Configure CreateSession GetConfiguration Lookup Query SetGenre SetTrackInfo Submit"
  [ "$(tr '\n' ' ' <<<"$names")" = "$expected " ] || fail "exports ($machine): $(tr '\n' ' ' <<<"$names")"
else
  for name; do grep -qx "$name" <<<"$names" || fail "$name not exported ($machine)"; done
fi
echo "exports ($machine) OK: $dll"
