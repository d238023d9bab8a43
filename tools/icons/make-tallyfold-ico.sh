#!/usr/bin/env bash
# Draws Tallyfold's icon (a folder with a tally of five on its front) and
# writes assets/images/Tallyfold.ico with 16, 32 and 48 pixel images.
# Needs ImageMagick. Run from anywhere; the output is committed.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
out=$root/assets/images/Tallyfold.ico
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Drawn once at 256 pixels, then scaled down for each size.
convert -size 256x256 xc:none \
  -stroke '#7a5300' -strokewidth 8 \
  -fill '#e8a81c' -draw 'roundrectangle 16,40 112,88 12,12' \
  -fill '#f6c343' -draw 'roundrectangle 16,64 240,232 16,16' \
  -stroke '#1f3f7a' -strokewidth 16 -fill none \
  -draw 'line 64,104 64,208' -draw 'line 100,104 100,208' \
  -draw 'line 136,104 136,208' -draw 'line 172,104 172,208' \
  -draw 'line 40,200 200,112' \
  "$work/master.png"

for size in 48 32 16; do
  convert "$work/master.png" -filter Lanczos -resize ${size}x${size} "$work/icon-$size.png"
done
# The first image is the small one: the window's small icon is image 0.
convert "$work/icon-16.png" "$work/icon-32.png" "$work/icon-48.png" "$out"
echo "wrote $out"
