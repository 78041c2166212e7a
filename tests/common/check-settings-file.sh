#!/usr/bin/env bash
# Checks the program's settings file in the test prefix with xmllint.
set -eu
prefix=$("$(dirname "$0")/../../cmake/wine-run.sh" --prefix)
file="$prefix/drive_c/ProgramData/Velmora/TAVRIN.xml"
xmllint --noout "$file"
q() { xmllint --xpath "$1" "$file"; }
fail() { echo "FAIL: $*" >&2; exit 1; }
[ "$(q 'name(/*)')" = metaset ] || fail "root is not metaset"
[ "$(q 'count(/metaset/global)')" = 1 ] || fail "no global section"
[ "$(q 'count(/metaset/users/*)')" = 1 ] || fail "not exactly one user section"
user=$(q 'name(/metaset/users/*)')
[[ "$user" =~ ^S_1_5_[0-9_]+$ ]] || fail "user section named $user"
base="/metaset/users/$user"
[ "$(q "string($base/mruBackup/file/@type)")" = int ] || fail "count type"
[ "$(q "string($base/mruBackup/file/@value)")" = 4 ] || fail "count"
[ "$(q "string($base/mruBackup/file3/@type)")" = string ] || fail "item type"
[ "$(q "string($base/mruBackup/file3/@value)")" = 'C:\b3.mp3' ] || fail "oldest item"
[ "$(q "string($base/mruBackup/file0/@value)")" = 'C:\b0.mp3' ] || fail "newest item"
[ "$(q "string($base/Quality/@value)")" = 160 ] || fail "Quality"
[ "$(q 'string(/metaset/global/WriteEngine/@value)')" = MsftDiscFormat2RawCD ] || fail "global"
# Text mode on Windows: every line ends in CR LF.
[ "$(grep -c $'\r$' "$file")" = "$(wc -l <"$file")" ] || fail "line ends"
echo "settings file OK: $file"
