# Sourced by the scripts that run the Windows builds under Wine: a private
# prefix inside the build folder and a private Xvfb display.
#   wine_session_start BUILD_DIR [win32|win64]
#                                  sets WINEPREFIX, DISPLAY and a UTF-8 locale
#                                  and starts both; the 64-bit build needs a
#                                  64-bit prefix (BUILD_DIR/wine-prefix64)
#   wine_session_stop              ends the Wine server and Xvfb

wine_prefix_create() {
  local prefix=$1
  rm -rf "$prefix"
  mkdir -p "$prefix"
  WINEPREFIX=$prefix wineboot -i >/dev/null 2>&1 || true
  WINEPREFIX=$prefix wineserver -w
  # Own frame painting must be visible, and a crash must not leave a dialog
  # holding the pipe open. The desktop keeps its drive item "/" (Z:\), as
  # in any default prefix, so the tree's paths below it are tested.
  cat > "$prefix/drive_c/setup.reg" <<'REG'
REGEDIT4

[HKEY_CURRENT_USER\Software\Wine\X11 Driver]
"Decorated"="N"
"Managed"="N"

[HKEY_CURRENT_USER\Software\Wine\WineDbg]
"ShowCrashDialog"=dword:00000000
REG
  WINEPREFIX=$prefix wine regedit /S 'C:\setup.reg' >/dev/null 2>&1
  cp /usr/share/wine/fonts/*.ttf "$prefix/drive_c/windows/Fonts/" 2>/dev/null || true
  # The user folders are links to $HOME in a new prefix: tests must never
  # write there.
  local p
  for p in "$prefix"/drive_c/users/*/{Desktop,Documents,Downloads,Music,Pictures,Videos,Templates}; do
    if [ -L "$p" ]; then rm "$p"; mkdir "$p"; fi
  done
  WINEPREFIX=$prefix wineserver -w
}

# Wine reads and writes Unix file names in the locale's character set: under
# "C" (no LANG, as on a fresh machine) folders named in other scripts cannot
# be made or listed. C.UTF-8 comes with every glibc since 2.35.
wine_utf8_locale() {
  local l
  for l in C.UTF-8 C.utf8 en_US.UTF-8 en_US.utf8; do
    if locale -a 2>/dev/null | grep -qix "$l"; then echo "$l"; return; fi
  done
  echo C.UTF-8
}

wine_session_start() {
  local build=$1 arch=${2:-win32}
  export WINEARCH=$arch WINEDEBUG=-all
  export LANG=$(wine_utf8_locale)
  export LC_ALL=$LANG
  export WINEPREFIX=$build/wine-prefix
  [ "$arch" = win32 ] || WINEPREFIX=$build/wine-prefix64
  wine_prefix_create "$WINEPREFIX"
  local n=99
  while [ -e /tmp/.X$n-lock ] || [ -e /tmp/.X11-unix/X$n ]; do n=$((n + 1)); done
  # Room for the window at 192 DPI (about 1,100 x 1,000 pixels).
  Xvfb :$n -screen 0 1600x1200x24 -nolisten tcp >/dev/null 2>&1 &
  WINE_SESSION_XVFB=$!
  export DISPLAY=:$n
  local i
  for i in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
  wineserver -p >/dev/null 2>&1   # one server for the whole session
}

wine_session_stop() {
  wineserver -k 2>/dev/null || true
  [ -n "${WINE_SESSION_XVFB:-}" ] && kill "$WINE_SESSION_XVFB" 2>/dev/null || true
  WINE_SESSION_XVFB=
}
