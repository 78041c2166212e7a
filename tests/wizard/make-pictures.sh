#!/bin/sh
# Writes the picture fixtures of the cover-art tests with ImageMagick: one
# picture in every format the decoders take, and the RGB bytes each must
# decode to (top-down, 8 bits per channel), as ImageMagick reads them.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
out=$1
rm -rf "$out" && mkdir -p "$out/out"
cd "$out"
convert -seed 7 -size 37x23 plasma:fractal -depth 8 src.png
convert src.png -colors 64 -depth 8 pal.png
convert src.png -monochrome -depth 8 mono.png
for p in src pal mono; do convert $p.png -depth 8 rgb:$p.rgb; done

convert src.png PNG24:png8.png
convert src.png -depth 16 PNG48:png16.png
convert pal.png PNG8:pngpal.png
convert pal.png gif.gif
convert src.png -type truecolor BMP3:bmp24.bmp
convert pal.png -type palette -compress none BMP3:bmp8.bmp
convert pal.png -type palette -compress RLE BMP3:bmprle.bmp
convert mono.png -type bilevel BMP3:bmp1.bmp
convert src.png -alpha set -define bmp:format=bmp4 BMP:bmp32.bmp
convert src.png -type truecolor BMP2:bmpcore.bmp
convert src.png -density 300 -units PixelsPerInch -type truecolor BMP3:bmp300dpi.bmp
convert src.png -compress none tiff.tif
convert src.png -compress lzw tifflzw.tif
convert src.png -quality 92 jpeg.jpg
convert src.png -quality 92 -interlace Plane jpegprog.jpg
for j in jpeg jpegprog; do convert $j.jpg -depth 8 rgb:$j.rgb; done
# Stated resolutions: 300 dpi, 118 x 59 dots per cm, a PNG pHYs of 300 dpi
# (11811 per metre) and one that gives only the aspect ratio.
convert src.png -quality 92 -density 300 -units PixelsPerInch jpeg300dpi.jpg
convert src.png -quality 92 -density 118x59 -units PixelsPerCentimeter jpegdpcm.jpg
convert src.png -density 300 -units PixelsPerInch PNG24:png300dpi.png
convert src.png -density 72 -units undefined PNG24:pngaspect.png
# Exif resolutions behind a JFIF segment without one (ImageMagick reads 300 per
# inch, 300 per cm, and no unit), and behind one with 300 dpi.
add_exif=$here/add-exif.py
python3 "$add_exif" jpeg.jpg jpegexifinch.jpg MM 2
python3 "$add_exif" jpeg.jpg jpegexifcm.jpg II 3
python3 "$add_exif" jpeg.jpg jpegexifnounit.jpg II 1
python3 "$add_exif" jpeg300dpi.jpg jpegjfifexif.jpg II 3
