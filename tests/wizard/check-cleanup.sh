#!/bin/sh
# Checks the cleaned-up scans with ImageMagick: quality 80 at 96 dpi, the
# expected sizes, and how straight the sheets came out (ImageMagick's own
# deskew estimate on the result with a white margin added).
set -eu
dir=$1/scans/out
fail=0
size() { identify -format '%Q %x %y %U %w %h' "$dir/$1"; }
skew() {
  convert "$dir/$1" -bordercolor white -border 30 -deskew 40% -format '%[deskew:angle]' info:
}
for f in white5 blackccw4 white2_6; do
  set -- $(size $f.jpg)
  { [ "$1 $2 $3 $4" = "80 96 96 PixelsPerInch" ] && [ $(( $5 - 401 )) -le 3 ] &&
    [ $(( 401 - $5 )) -le 3 ] && [ $(( $6 - 561 )) -le 3 ] && [ $(( 561 - $6 )) -le 3 ]; } ||
    { echo "$f.jpg: $*"; fail=1; }
  a=$(skew $f.jpg)
  awk -v a="$a" 'BEGIN { exit !(a < 1 && a > -1) }' || { echo "$f.jpg: skew $a"; fail=1; }
done
# Up to 2 degrees a sheet stays as it lies.
for f in white1 white1_6; do
  a=$(skew $f.jpg)
  awk -v a="$a" 'BEGIN { if (a < 0) a = -a; exit !(a > 0.5 && a < 2) }' ||
    { echo "$f.jpg: skew $a"; fail=1; }
done
got=$(size a4.jpg)
[ "$got" = "80 96 96 PixelsPerInch 793 1122" ] || { echo "a4.jpg: $got"; fail=1; }
got=$(size grey.jpg)
[ "$got" = "80 96 96 PixelsPerInch 300 200" ] || { echo "grey.jpg: $got"; fail=1; }
exit $fail
