#!/bin/sh
# Writes the fixtures of the clean-up tests with ImageMagick: a cover sheet
# (400 x 560, dark at its edges) lying on a scanner's white or black
# background, turned by a few degrees; and the empty folder the resizer test
# writes into.
set -eu
root=$1
rm -rf "$root/scans" "$root/resize" && mkdir -p "$root/scans/out" "$root/resize"
cd "$root/scans"
convert -size 400x560 gradient:'#203060-#503018' \
  -fill '#c0a040' -draw 'circle 200,280 200,360' -fill '#102040' -draw 'rectangle 40,40 360,90' \
  sheet.png
sheet() {  # name background degrees
  convert sheet.png -bordercolor "$2" -border 60 -background "$2" -rotate "$3" \
    -density 96 -units PixelsPerInch -type truecolor "BMP3:$1.bmp"
}
sheet white5 white 5
sheet white1 white 1
sheet white1_6 white 1.6
sheet white2_6 white -2.6
sheet blackccw4 black -4
convert -size 300x200 xc:'#808080' -density 96 -units PixelsPerInch -type truecolor BMP3:grey.bmp
