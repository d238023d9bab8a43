#!/usr/bin/env bash
# Draws the three run-button pictures and writes assets/images/start.png
# (a green "play" triangle), stop.png (a red square) and save.png (a disk),
# each 41x33 pixels, 8-bit RGBA. Every shape is drawn at eight times the
# size and averaged down, so edges are soft and partly transparent, and a
# faint shadow lies under each shape. Needs ImageMagick. Run from anywhere;
# the output is committed.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
out=$root/assets/images
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

scale=8
width=41
height=33

# draw NAME SHADOW-SHAPES SHAPES...: the shapes are -draw arguments in the
# 41x33 grid (stroke widths too), scaled up here; the shadow is the first shape set offset by a
# pixel, black at a quarter opacity.
draw() {
  local name=$1 shadow=$2
  shift 2
  local args=()
  while [ $# -gt 0 ]; do args+=("$1"); shift; done
  convert -size $((width * scale))x$((height * scale)) xc:none \
    -fill 'rgba(0,0,0,0.25)' -stroke none \
    -draw "translate $scale,$scale scale $scale,$scale $shadow" \
    -blur 0x$scale \
    "${args[@]}" \
    -filter Box -resize ${width}x${height} \
    -strip -define png:exclude-chunks=date,time -define png:color-type=6 -define png:bit-depth=8 \
    "PNG32:$work/$name.png"
  mv "$work/$name.png" "$out/$name.png"
  echo "wrote $out/$name.png"
}

s="scale $scale,$scale"

draw start "polygon 13,5 13,28 32,16.5" \
  -fill '#2f9e44' -stroke '#1d6b2c' -strokewidth 1.25 -draw "$s polygon 13,5 13,28 32,16.5" \
  -fill '#69db7c' -stroke none -draw "$s polygon 15.5,9.5 15.5,16.5 26,13"

draw stop "roundrectangle 10.5,6 30.5,26 3,3" \
  -fill '#e03131' -stroke '#a51d1d' -strokewidth 1.25 -draw "$s roundrectangle 10.5,6 30.5,26 3,3" \
  -fill '#ff8787' -stroke none -draw "$s roundrectangle 13,8.5 28,13 2,2"

draw save "roundrectangle 8.5,3.5 32.5,28.5 2.5,2.5" \
  -fill '#1c5fb0' -stroke '#123f78' -strokewidth 1.25 -draw "$s roundrectangle 8.5,3.5 32.5,28.5 2.5,2.5" \
  -fill '#d0d5dd' -stroke none -draw "$s rectangle 13.5,3.5 27.5,11.5" \
  -fill '#1c5fb0' -draw "$s rectangle 23,5 25.5,10" \
  -fill '#ffffff' -draw "$s roundrectangle 12,16.5 29,28.5 1.5,1.5" \
  -fill '#9aa5b4' -draw "$s rectangle 14.5,20 26.5,21" -draw "$s rectangle 14.5,23.5 26.5,24.5"
