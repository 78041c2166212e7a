#!/bin/sh
# The pictures that the picture-page tests took in and wrote out, read by
# ImageMagick: what the pages encoded is a JPEG of quality 80; exported and
# scanned pictures are JPEGs of the size expected.
set -eu
out=$1
fail=0
expect() {
  got=$(identify -format "$2" "$out/$1")
  if [ "$got" != "$3" ]; then
    echo "$1: $got, expected $3"
    fail=1
  fi
}
for i in 0 1 2 3 4 5 6; do
  [ "$i" = 0 ] || expect "added-$i.jpg" '%m %Q %wx%h' 'JPEG 80 37x23'
done
expect added-0.jpg '%m %wx%h' 'JPEG 37x23'
expect pasted.jpg '%m %Q %wx%h' 'JPEG 80 6x4'
expect shift-prepared.jpg '%m %Q %x' 'JPEG 80 96'
expect shift-jpeg300dpi.jpg '%m %Q %x %wx%h' 'JPEG 80 96 11x7'
# The first of the two scanned pages.
expect scanned.jpg '%m %Q %wx%h' 'JPEG 80 123x77'
for f in front a.b single; do
  expect "export/$f.jpg" '%m %wx%h' 'JPEG 37x23'
done
exit $fail
