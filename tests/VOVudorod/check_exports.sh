#!/usr/bin/env bash
# The plug-in exports exactly the nine functions of the interface, undecorated.
set -eu
objdump=$1 dll=$2
actual=$("$objdump" -p "$dll" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' |
         sed -n 's/^\s*\[ *[0-9]*\] //p' | sort | tr '\n' ' ')
expected="CloseSession Configure CreateSession GetConfiguration Lookup Query SetGenre SetTrackInfo Submit "
if [ "$actual" != "$expected" ]; then
  echo "exports: $actual"
  exit 1
fi
echo "exports: $actual"
