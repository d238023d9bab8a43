#!/usr/bin/env bash
# Draws the picture of Slate, Tallyfold's own skin, builds
# assets/images/DOR.Skin from it and DOR.description.txt, and checks that the
# built file describes itself exactly as the description does. Needs python3
# and builds tallyfold-skin natively in build/skin-tool; with ImageMagick it
# also writes build/skin-tool/DOR-preview.png (the picture at 5x). The output
# is committed.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
work=$root/build/skin-tool
out=$root/assets/images/DOR.Skin

cmake -S "$root" -B "$work" -G Ninja -DTALLYFOLD_TESTS=OFF -DTALLYFOLD_BENCH=OFF >/dev/null
ninja -C "$work" -j2 tallyfold-skin >/dev/null
tool=$work/src/app/tallyfold-skin

python3 "$here/draw_dor_picture.py" "$work/DOR.bmp"
"$tool" build "$here/DOR.description.txt" "$work/DOR.bmp" "$out"
"$tool" dump "$out" | grep -v '^#' >"$work/DOR.dumped.txt"
grep -v -e '^#' -e '^$' "$here/DOR.description.txt" | diff -u - "$work/DOR.dumped.txt"
if command -v convert >/dev/null; then
  convert "$work/DOR.bmp" -filter point -resize 500% "$work/DOR-preview.png"
fi
"$tool" check "$out"
