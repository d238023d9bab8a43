#!/usr/bin/env bash
# Runs the skin preview window (a menu bar, DOR.Skin) in the current Wine
# session and drives its skinned menu bar with the real pointer and keys: a
# click on File opens a popup and draws File pressed (screenshot), Escape
# closes it, Alt+F opens File again and Down, Return chooses Exit, which
# closes the window.
#   menu_bar_check.sh BUILD_ROOT   (the Win32 build is BUILD_ROOT/win32,
#                                   or $TALLYFOLD_WIN32_BUILD)
set -euo pipefail
build=${TALLYFOLD_WIN32_BUILD:-$1/win32}
tool=$build/src/app/tallyfold-skin.exe
skin=$build/src/app/images/DOR.Skin
[ -x "$tool" ] || { echo "no $tool" >&2; exit 1; }

fail() { echo "menu bar check: $*" >&2; exit 1; }
. "$(dirname "$0")/x_windows.sh"
pixel() { convert "$1" -crop "1x1+$2+$3" +repage -format '%[fx:int(255*r)],%[fx:int(255*g)],%[fx:int(255*b)]' info:; }
# The caption's height: the top edge's middle piece.
read -r _ _ _ caption_h < <(od -An -t d4 -j $((11 + 48 + 16)) -N 16 "$skin" | xargs)

wine "$tool" preview "$(winepath -w "$skin")" --at 100,100 >/dev/null 2>&1 &
demo=$!
trap 'kill "$demo" 2>/dev/null || true' EXIT
window=$(find_window '^Skin preview$') || fail "no preview window"
eval "$(xdotool getwindowgeometry --shell "$window")"
# File is the bar's first item, a few pixels in from the left border; its
# pressed strip shows above the text.
bar_y=$((Y + caption_h + 11))
strip_x=$((X + 20)); strip_y=$((Y + caption_h + 4))

closed=$(visible_windows)
normal=$build/screenshot-menu-bar.png
import -window root "$normal"
xdotool mousemove "$strip_x" "$bar_y" click 1
sleep 1
open=$build/screenshot-menu-open.png
import -window root "$open"
echo "visible windows: $closed, with File open: $(visible_windows)"
[ "$(visible_windows)" -gt "$closed" ] || fail "a click on File opened no popup"
[ "$(pixel "$normal" $strip_x $strip_y)" != "$(pixel "$open" $strip_x $strip_y)" ] ||
  fail "File is not drawn pressed while its popup is open"

xdotool key Escape
xdotool mousemove $((X + WIDTH / 2)) $((Y + HEIGHT / 2))
sleep 0.5
[ "$(visible_windows)" = "$closed" ] || fail "Escape left the popup open"

xdotool key alt+f
sleep 1
[ "$(visible_windows)" -gt "$closed" ] || fail "Alt+F opened no popup"
# Opened from the keyboard the first item (New) is selected; Down reaches Exit.
xdotool key Down Return
for _ in $(seq 50); do kill -0 "$demo" 2>/dev/null || break; sleep 0.1; done
kill -0 "$demo" 2>/dev/null && fail "File > Exit did not close the window"
wait "$demo" || fail "the preview window ended with an error"
trap - EXIT
echo "screenshots: $normal $open"
