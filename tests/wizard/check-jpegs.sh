#!/bin/sh
# Checks the JPEG files that the cover-art tests wrote, with ImageMagick:
# quality 80, the density taken from the picture, and the picture itself.
set -eu
dir=$1
fail=0
got=$(identify -format '%Q %x %y %U %w %h' "$dir/out/dpi96.jpg")
[ "$got" = "80 96 96 PixelsPerInch 37 23" ] || { echo "dpi96.jpg: $got"; fail=1; }
got=$(identify -format '%Q %U %w %h' "$dir/out/nodensity.jpg")
[ "$got" = "80 Undefined 37 23" ] || { echo "nodensity.jpg: $got"; fail=1; }
# Same picture as the source: rows in order, channels in place (ImageMagick's own
# quality-80 JPEG of it measures 26 dB; flipped 9 dB, red and blue swapped 15 dB).
for f in dpi96 nodensity fromtiff; do
  psnr=$(compare -metric PSNR "$dir/src.png" "$dir/out/$f.jpg" null: 2>&1 || true)
  awk -v p="$psnr" 'BEGIN { exit !(p + 0 > 22) }' || { echo "$f.jpg: PSNR $psnr"; fail=1; }
done
exit $fail
