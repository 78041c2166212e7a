#!/bin/sh
# Compares every page the scanner test received with the picture the test
# scanner read, in ImageMagick: same size, no pixel different, and a file size
# field that matches the file.
set -eu
dir=$1
fail=0
n=0
for page in "$dir"/out/*__*.bmp; do
  source="$dir/$(basename "$page" | sed 's/__.*//').bmp"
  n=$((n + 1))
  ae=$(compare -metric AE "$source" "$page" null: 2>&1) || true
  [ "$ae" = "0" ] || { echo "$(basename "$page"): $ae pixels differ"; fail=1; }
  size=$(od -An -tu4 -j2 -N4 "$page" | tr -d ' ')
  [ "$size" = "$(stat -c %s "$page")" ] || { echo "$(basename "$page"): bfSize $size"; fail=1; }
done
[ "$n" -gt 0 ] || { echo "no pages"; fail=1; }
exit $fail
