#!/usr/bin/env bash
# Runs the real Tallyfold.exe in the current Wine session, waits for its
# window, takes a screenshot into the build folder and checks that the Main
# page was painted: face-coloured window, white tree and edit areas, dark
# text, the run buttons' pictures, no menu on Alt+Space or Alt+letter, and a
# program that closes cleanly on Alt+F4 with the focus in the folder tree.
#   screenshot_check.sh BUILD_ROOT      (the Win32 build is BUILD_ROOT/win32,
#                                        or $TALLYFOLD_WIN32_BUILD)
set -euo pipefail
build=${TALLYFOLD_WIN32_BUILD:-$1/win32}
exe=$build/src/app/Tallyfold.exe
shot=$build/screenshot-main.png
[ -x "$exe" ] || { echo "no $exe" >&2; exit 1; }

fail() { echo "screenshot check: $*" >&2; exit 1; }
. "$(dirname "$0")/x_windows.sh"

wine "$exe" &
app=$!
cleanup() { kill "$app" 2>/dev/null || true; }
trap cleanup EXIT

window=$(find_window '^Tallyfold$') || fail "the window did not appear"
import -window root "$shot"
eval "$(xdotool getwindowgeometry --shell "$window")"
crop=$build/screenshot-window.png
convert "$shot" -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage "$crop"

# Share of the window's pixels with a colour, in percent.
share() { convert "$crop" -fx "$1" -format '%[fx:100*mean]' info:; }
face=$(convert "$crop" -format '%c' histogram:info:- | sort -rn | sed -n 1p)
echo "window ${WIDTH}x${HEIGHT} at ${X},${Y}; most common colour: $face"
colours=$(convert "$crop" -format '%k' info:)
white=$(share 'r==1 && g==1 && b==1 ? 1 : 0')
dark=$(share 'r<0.3 && g<0.3 && b<0.3 ? 1 : 0')
grey=$(share 'abs(r-g)<0.02 && abs(g-b)<0.02 && r>0.7 && r<0.99 ? 1 : 0')
echo "colours $colours, white ${white}%, face grey ${grey}%, dark ${dark}%"
[ "$colours" -ge 8 ] || fail "the window is nearly blank ($colours colours)"
awk -v g="$grey" 'BEGIN { exit !(g > 40) }' || fail "the face colour does not fill the window"
awk -v w="$white" 'BEGIN { exit !(w > 15 && w < 50) }' || fail "no white tree and edit areas"
awk -v d="$dark" 'BEGIN { exit !(d > 0.3) }' || fail "no text"
# The middle of the Source Folder frame is the tree view: a white field
# (with the root level's labels and icons in its top part).
tree=$(convert "$crop" -crop "40%x30%+$((WIDTH * 15 / 100))+$((HEIGHT * 48 / 100))" +repage \
  -fx 'r==1 && g==1 && b==1 ? 1 : 0' -format '%[fx:100*mean]' info:)
echo "tree view area: white ${tree}%"
awk -v t="$tree" 'BEGIN { exit !(t > 80) }' || fail "the tree view area is not white"

# The run buttons below the caption show their pictures: the green triangle
# on Start (left), the red square on Stop (beside it), the blue disk on Save
# as (right). Each is a few hundred pixels of its colour.
band="x$((HEIGHT * 22 / 100))"
below=$((HEIGHT * 8 / 100))
pixels() { convert "$crop" -crop "$1" +repage -fx "$2" -format '%[fx:round(w*h*mean)]' info:; }
green=$(pixels "$((WIDTH * 21 / 100))${band}+0+${below}" 'g-r>0.25 && g-b>0.15 ? 1 : 0')
red=$(pixels "$((WIDTH * 18 / 100))${band}+$((WIDTH * 20 / 100))+${below}" 'r-g>0.4 && r-b>0.4 ? 1 : 0')
blue=$(pixels "$((WIDTH * 26 / 100))${band}+$((WIDTH * 72 / 100))+${below}" 'b-r>0.3 && b-g>0.15 ? 1 : 0')
echo "button pictures: green ${green}, red ${red}, blue ${blue} pixels"
[ "$green" -ge 150 ] || fail "Start shows no play picture"
[ "$red" -ge 150 ] || fail "Stop shows no stop picture"
[ "$blue" -ge 150 ] || fail "Save as shows no disk picture"

# Focus the window with a click on its status bar. The skin takes Alt+letter
# and Alt+Space from the window: no menu, not even the system menu, opens.
xdotool mousemove $((X + WIDTH / 2)) $((Y + HEIGHT - 20)) click 1
sleep 0.3
before=$(visible_windows)
xdotool key alt+space
sleep 0.5
xdotool key alt+f
sleep 0.5
after=$(visible_windows)
echo "visible windows before Alt+Space and Alt+F: $before, after: $after"
[ "$after" = "$before" ] || fail "a menu opened on Alt+Space or Alt+F"
kill -0 "$app" 2>/dev/null || fail "the program ended on Alt+F"
# Alt+F4 closes the window from the folder tree too, which keeps system keys
# to itself.
xdotool mousemove $((X + WIDTH * 35 / 100)) $((Y + HEIGHT * 55 / 100)) click 1
sleep 0.3
xdotool key alt+F4
for _ in $(seq 50); do kill -0 "$app" 2>/dev/null || break; sleep 0.1; done
kill -0 "$app" 2>/dev/null && fail "the program did not close on Alt+F4"
wait "$app" || fail "the program exited with an error"
trap - EXIT
echo "screenshot: $shot"
