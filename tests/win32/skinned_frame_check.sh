#!/usr/bin/env bash
# Runs the real Tallyfold.exe in the current Wine session and looks at its
# skinned frame: screenshots of the window active, with the mouse on the
# close button, and inactive behind another window; checks that the frame
# is the skin's (rounded corners, the caption's colours, a close button that
# lights up and that closes the program).
#   skinned_frame_check.sh BUILD_ROOT   (the Win32 build is BUILD_ROOT/win32,
#                                        or $TALLYFOLD_WIN32_BUILD)
set -euo pipefail
build=${TALLYFOLD_WIN32_BUILD:-$1/win32}
exe=$build/src/app/Tallyfold.exe
skin=$build/src/app/images/DOR.Skin
tool=$build/src/app/tallyfold-skin.exe
[ -x "$exe" ] || { echo "no $exe" >&2; exit 1; }
[ -f "$skin" ] || { echo "no $skin" >&2; exit 1; }

fail() { echo "skinned frame check: $*" >&2; exit 1; }
. "$(dirname "$0")/x_windows.sh"
# Signed 32-bit integers of the skin file at a byte offset.
ints() { od -An -t d4 -j "$1" -N "$(($2 * 4))" "$skin" | xargs; }
# The colour of one screen pixel as "r,g,b" (0-255).
pixel() { convert "$1" -crop "1x1+$2+$3" +repage -format '%[fx:int(255*r)],%[fx:int(255*g)],%[fx:int(255*b)]' info:; }
shoot() { import -window root "$1"; }

# Where things are in the skin: the close button (record 3: four pieces,
# then its right offset and top) and the caption's middle piece height.
read -r _ _ close_w close_h < <(ints $((11 + 384 + 3 * 72)) 4)
read -r close_right close_top < <(ints $((11 + 384 + 3 * 72 + 64)) 2)
read -r _ _ _ caption_h < <(ints $((11 + 48 + 16)) 4)

wine "$exe" &
app=$!
demo=
cleanup() {
  kill "$app" 2>/dev/null || true
  [ -n "$demo" ] && kill "$demo" 2>/dev/null || true
}
trap cleanup EXIT

window=$(find_window '^Tallyfold$') || fail "the window did not appear"
eval "$(xdotool getwindowgeometry --shell "$window")"
echo "window ${WIDTH}x${HEIGHT} at ${X},${Y}; close button ${close_w}x${close_h} at ${close_right} from the right, ${close_top} down"

# Focus it with a click into the status bar; the mouse then rests on the
# client area.
xdotool mousemove $((X + WIDTH / 2)) $((Y + HEIGHT - 20)) click 1
sleep 0.5
active=$build/screenshot-skinned-active.png
shoot "$active"

# The corners are cut by the window region: the desktop shows there.
desktop=$(pixel "$active" 1023 767)
[ "$(pixel "$active" "$X" "$Y")" = "$desktop" ] || fail "the top-left corner is not rounded off"
cap_x=$((X + WIDTH / 2)); cap_y=$((Y + caption_h / 2))
caption_active=$(pixel "$active" $cap_x $cap_y)
echo "active caption $caption_active, desktop $desktop"
[ "$caption_active" != "$desktop" ] || fail "no caption"

# Hot close button.
bx=$((X + WIDTH - close_right + close_w / 2)); by=$((Y + close_top + close_h / 2))
before=$(pixel "$active" $bx $by)
xdotool mousemove $bx $by
sleep 0.5
hot=$build/screenshot-skinned-hot.png
shoot "$hot"
after=$(pixel "$hot" $bx $by)
echo "close button: normal $before, hot $after"
[ "$before" != "$after" ] || fail "the close button does not light up under the mouse"

# Leaving the button puts it back.
xdotool mousemove $((X + WIDTH / 2)) $((Y + HEIGHT / 2))
sleep 0.5
back=$build/screenshot-skinned-left.png
shoot "$back"
[ "$(pixel "$back" $bx $by)" = "$before" ] || fail "the close button stays hot after the mouse left"

# Inactive: the skin preview window takes the activation, away from ours.
wine "$tool" preview "$(winepath -w "$skin")" --at "$((X + WIDTH + 20)),$((Y + 40))" >/dev/null 2>&1 &
demo=$!
preview=$(find_window '^Skin preview$') || fail "no preview window"
eval "$(xdotool getwindowgeometry --shell --prefix P "$preview")"
xdotool mousemove $((PX + PWIDTH / 2)) $((PY + PHEIGHT / 2)) click 1
sleep 0.5
inactive=$build/screenshot-skinned-inactive.png
shoot "$inactive"
caption_inactive=$(pixel "$inactive" $cap_x $cap_y)
echo "inactive caption $caption_inactive"
[ "$caption_inactive" != "$caption_active" ] || fail "the caption looks the same active and inactive"
kill "$demo" 2>/dev/null || true
wait "$demo" 2>/dev/null || true
demo=

# The close button ends the program.
xdotool mousemove $bx $by click 1
for _ in $(seq 50); do kill -0 "$app" 2>/dev/null || break; sleep 0.1; done
kill -0 "$app" 2>/dev/null && fail "the close button did not close the program"
wait "$app" || fail "the program exited with an error"
trap - EXIT
echo "screenshots: $active $hot $inactive"
