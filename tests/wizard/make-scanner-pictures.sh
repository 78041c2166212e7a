#!/bin/sh
# Writes the pictures the test scanner delivers and the BMP files whose
# header versions the DIB size functions are checked against, with ImageMagick.
set -eu
out=$1
rm -rf "$out" && mkdir -p "$out/out"
cd "$out"
convert -seed 3 -size 123x77 plasma:fractal -depth 8 src.png
convert src.png -type truecolor BMP3:scan24.bmp
convert src.png -colorspace gray -colors 256 -type palette -compress none BMP3:scangrey.bmp
convert src.png -type bilevel BMP3:scan1.bmp
convert -seed 4 -size 640x480 plasma:fractal -depth 8 -type truecolor BMP3:big.bmp
# Header versions: core (12 bytes), info (40), version 5 (124) with bit fields.
convert src.png -type truecolor BMP2:core24.bmp
convert src.png -type truecolor BMP:v5rgb24.bmp
convert src.png -define bmp:subtype=RGB565 BMP:v5rgb565.bmp
cp scangrey.bmp info8.bmp
cp scan1.bmp info1.bmp
