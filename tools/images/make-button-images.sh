#!/usr/bin/env bash
# Draws the three run-button pictures and writes assets/images/start.png
# (a green "play" triangle), stop.png (a red square) and save.png (a disk),
# each 41x33 pixels, 8-bit RGBA, and the same at 150 and 200 percent for
# displays of a higher DPI (start-150.png 62x50, start-200.png 82x66: the
# sizes of the buttons' picture boxes there). Every shape is drawn at eight
# times the size and averaged down, so edges are soft and partly
# transparent, and a faint shadow lies under each shape. Needs ImageMagick.
# Run from anywhere; the output is committed.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
out=$root/assets/images
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The pictures at 100 percent are drawn in a 41x33 grid; the others scale
# that grid to their own size.
sizes=("100 41 33" "150 62 50" "200 82 66")

# draw NAME SHADOW-SHAPES SHAPES...: the shapes are -draw arguments in the
# 41x33 grid (stroke widths too), scaled up here; the shadow is the first
# shape set offset by a pixel, black at a quarter opacity. $s in the shapes
# stands for the grid's scale.
draw() {
  local name=$1 shadow=$2
  shift 2
  local percent width height sx sy file
  for size in "${sizes[@]}"; do
    read -r percent width height <<<"$size"
    # Eight canvas pixels to a picture pixel.
    sx=$(awk -v w="$width" 'BEGIN { print 8 * w / 41 }')
    sy=$(awk -v h="$height" 'BEGIN { print 8 * h / 33 }')
    local args=()
    for arg in "$@"; do args+=("${arg//\$s/scale $sx,$sy}"); done
    file=$name.png
    [ "$percent" = 100 ] || file=$name-$percent.png
    convert -size $((width * 8))x$((height * 8)) xc:none \
      -fill 'rgba(0,0,0,0.25)' -stroke none \
      -draw "translate $sx,$sy scale $sx,$sy $shadow" \
      -blur 0x$((8 * percent / 100)) \
      "${args[@]}" \
      -filter Box -resize ${width}x${height} \
      -strip -define png:exclude-chunks=date,time -define png:color-type=6 -define png:bit-depth=8 \
      "PNG32:$work/$file"
    mv "$work/$file" "$out/$file"
    echo "wrote $out/$file"
  done
}

s='$s'  # replaced by the grid's scale for each size

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
