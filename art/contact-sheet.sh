#!/bin/sh
# Renders every picture of a cg/ directory into one PNG, pixels doubled, for looking at.
# usage: art/contact-sheet.sh build/bin/cg docs/faces.png
set -e
cg=$1
out=$2
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
for f in futu fuki niko sabisi uresi naku okoru neru byoki kuru sinu door; do
    convert "$cg/$f.bmp" -filter point -resize 200% "$tmp/$f.png"
done
montage -label '%t' -font DejaVu-Sans -pointsize 14 -background '#dddddd' -geometry +6+6 -tile 3x \
    "$tmp"/futu.png "$tmp"/fuki.png "$tmp"/niko.png "$tmp"/sabisi.png "$tmp"/uresi.png "$tmp"/naku.png \
    "$tmp"/okoru.png "$tmp"/neru.png "$tmp"/byoki.png "$tmp"/kuru.png "$tmp"/sinu.png "$tmp"/door.png "$out"
