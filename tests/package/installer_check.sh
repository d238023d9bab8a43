#!/usr/bin/env bash
# Installs the release as a Windows user would, silently, into a fresh
# 64-bit Wine prefix: the 64-bit program lands in the user's programs
# folder with a Start-menu shortcut to it and an entry in the user's Apps;
# the installed program starts skinned and lists a folder into its own
# folder; the silent uninstall then leaves nothing behind, no file and no
# registry key, but the report that run wrote.
#   installer_check.sh BUILD_ROOT   (dist/ beside it holds the release; the
#                                    64-bit test program drives the window)
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=$1
version=$(sed -n 's/^project(Tallyfold VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")
setup=$root/dist/Tallyfold-$version-setup.exe
zip=$root/dist/Tallyfold-$version-win64.zip
driver=$build/win64/tests/win32/tallyfold_tests.exe
[ -f "$setup" ] && [ -f "$zip" ] && [ -f "$driver" ] || { echo "needs $setup, $zip and $driver" >&2; exit 1; }
fail() { echo "installer check: $*" >&2; exit 1; }
. "$(dirname "$0")/../win32/x_windows.sh"

work=$build/installer-check
rm -rf "$work"
mkdir -p "$work"
. "$root/scripts/wine-session.sh"
# Shortcuts must not become menu entries of the Linux desktop.
export WINEDLLOVERRIDES="winemenubuilder.exe=d"
wine_session_start "$work" win64
app=
cleanup() {
  [ -n "$app" ] && kill "$app" 2>/dev/null || true
  wine_session_stop
}
trap cleanup EXIT

unix_of() { winepath -u "$(wine cmd /c "echo $1" 2>/dev/null | tr -d '\r')" 2>/dev/null; }
programs=$(unix_of '%LOCALAPPDATA%')/Programs/Tallyfold
startmenu=$(unix_of '%APPDATA%')/Microsoft/Windows/Start\ Menu/Programs
key='HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Tallyfold'
# Everything of the prefix a program could leave: files outside the
# temporary folders, and the user's and the machine's software keys but
# Wine's own (its settings of the session and the fonts it registers when a
# first window opens).
snapshot() {
  (cd "$WINEPREFIX/drive_c" && find . -path '*/Temp' -prune -o -path ./windows/temp -prune -o -print | sort)
  { wine reg query 'HKCU\Software' /s; wine reg query 'HKLM\Software' /s; } 2>/dev/null | tr -d '\r' |
    grep '^HKEY' | grep -v -e '\\Software\\Wine\\' -e '\\CurrentVersion\\Fonts$' | sort
}
snapshot > "$work/before.txt"

wine "$setup" /S || fail "the installer failed ($?)"
[ -f "$programs/Tallyfold.exe" ] || fail "no $programs/Tallyfold.exe"
unzip -q "$zip" -d "$work/zip"
for file in Tallyfold.exe tallyfold-list.exe tallyfold-diff.exe images/DOR.Skin LICENSE.txt; do
  cmp -s "$programs/$file" "$work/zip/Tallyfold-$version-win64/$file" || fail "$file is not the 64-bit release's"
done
listed=$(wine "$(winepath -w "$programs/tallyfold-list.exe")" --version | tr -d '\r')
[ "$listed" = "tallyfold-list $version" ] || fail "the installed tallyfold-list says '$listed'"
exe_win=$(winepath -w "$programs/Tallyfold.exe")

# The user's Apps: name, version, and an uninstaller that is there.
entry=$(wine reg query "$key" 2>/dev/null | tr -d '\r')
grep -q "DisplayVersion.*$version" <<<"$entry" || fail "no Apps entry with the version: $entry"
uninstall_win=$(sed -n 's/.*UninstallString *REG_SZ *"\(.*\)"$/\1/p' <<<"$entry")
[ -f "$(winepath -u "$uninstall_win")" ] || fail "the Apps entry names no uninstaller: $entry"

# The Start-menu shortcut leads to the installed program.
link=$startmenu/Tallyfold.lnk
[ -f "$link" ] || fail "no Start-menu shortcut"
grep -aqF "$exe_win" "$link" || fail "the shortcut does not point at $exe_win"

# The installed program starts with its skin (the region rounds the
# window's corners off, the desktop shows there) and lists a folder.
mkdir -p "$work/listed/sub"
echo "listed by the installed program" > "$work/listed/sub/marker.txt"
wine "$exe_win" &
app=$!
window=$(find_window '^Tallyfold$') || fail "the window did not appear"
eval "$(xdotool getwindowgeometry --shell "$window")"
import -window root "$work/installed.png"
pixel() { convert "$work/installed.png" -crop "1x1+$1+$2" +repage -format '%[fx:int(255*r)],%[fx:int(255*g)],%[fx:int(255*b)]' info:; }
[ "$(pixel "$X" "$Y")" = "$(pixel 1023 767)" ] || fail "the window has no skinned frame (square corner)"
TALLYFOLD_DRIVE_FOLDER=$(winepath -w "$work/listed") wine "$driver" --gtest_also_run_disabled_tests \
  --gtest_filter=Form1Driver.DISABLED_StartsAListing >"$work/driver.txt" 2>&1 || { cat "$work/driver.txt"; fail "could not start a run"; }
report=$programs/Tallyfold.txt
for _ in $(seq 100); do grep -q marker.txt "$report" 2>/dev/null && break; sleep 0.2; done
grep -q marker.txt "$report" || fail "no report with the listed file in the program's folder"
# The run opens its report in the text editor: close both.
sleep 1
for w in $(xdotool search --onlyvisible --name 'Notepad' 2>/dev/null); do xdotool windowclose "$w" 2>/dev/null || true; done
xdotool mousemove $((X + WIDTH / 2)) $((Y + HEIGHT - 20)) click 1
sleep 0.3
xdotool key alt+F4
for _ in $(seq 50); do kill -0 "$app" 2>/dev/null || break; sleep 0.1; done
kill -0 "$app" 2>/dev/null && fail "the installed program did not close"
app=
cp "$report" "$work/report.txt"

# Silent uninstall: the uninstaller runs on from a copy of itself, so wait
# for it to finish.
wine "$uninstall_win" /S || fail "the uninstaller failed ($?)"
for _ in $(seq 100); do [ -e "$programs/uninstall.exe" ] || break; sleep 0.2; done
sleep 2
[ -e "$programs/uninstall.exe" ] && fail "the uninstaller is still there"
cmp -s "$report" "$work/report.txt" || fail "the user's report is gone or changed"
snapshot > "$work/after.txt"
# What is new may only be the report and the folders that hold it.
drive=$(realpath "$WINEPREFIX/drive_c")
relative=./$(realpath --relative-to="$drive" "$report")
diff "$work/before.txt" "$work/after.txt" | sed -n 's/^> //p' > "$work/left.txt" || true
while IFS= read -r path; do
  case $relative in
    "$path" | "$path"/*) ;;
    *) cat "$work/left.txt" >&2; fail "the uninstall left $path" ;;
  esac
done < "$work/left.txt"
echo "installer check: installed, ran, listed, uninstalled; left only $(basename "$report")"
