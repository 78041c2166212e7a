#!/usr/bin/env bash
# Reads the program's resources back with the resource compiler and checks
# what Windows looks for in them: the manifest, the version, icon and pictures.
set -eu
# The resource compiler of the program's own kind of Windows reads it.
for windres in i686-w64-mingw32-windres x86_64-w64-mingw32-windres; do
  rc=$($windres -i "$1" -O rc 2>/dev/null) && break
done
fail() { echo "FAIL: $*" >&2; exit 1; }
grep -q 'level=""asInvoker""' <<<"$rc" || fail "execution level"
grep -q 'name=""Microsoft.Windows.Common-Controls"" version=""6.0.0.0""' <<<"$rc" ||
  fail "common controls 6"
grep -q '^1 24 ' <<<"$rc" || fail "manifest id"
grep -Eq '^ *FILEVERSION 1, 0, 117, 0' <<<"$rc" || fail "file version"
grep -Eq '^ *PRODUCTVERSION 1, 0, 117, 0' <<<"$rc" || fail "product version"
grep -q '^128 14 ' <<<"$rc" || fail "icon group 128"
for id in 204 205; do grep -q "^$id 2 " <<<"$rc" || fail "bitmap $id"; done
for id in 100 107 108 203 204 205 206 208 209 210 211 212 213 214 215; do
  grep -q "^$id DIALOGEX" <<<"$rc" || fail "dialog $id"
done
# The machine of the PE header (at the offset held at 0x3C, after "PE\0\0").
pe=$(od -An -tu4 -j60 -N4 "$1" | tr -d ' ')
machine=$(od -An -tx2 -j$((pe + 4)) -N2 "$1" | tr -d ' ')
arch=$(grep -o 'processorArchitecture=""[^"]*""' <<<"$rc" | sort -u | tr -d '"' | tr '\n' ' ')
# The manifest names the assemblies of the program's own architecture throughout.
case $machine in
  014c) want=x86 ;;
  8664) want=amd64 ;;
  *) fail "machine $machine" ;;
esac
[ "$arch" = "processorArchitecture=$want " ] || fail "manifest architecture: $arch"
echo "resources OK (machine $machine, $arch): $1"
