#!/usr/bin/env bash
# Runs Tallyfold's main job. With a display ($DISPLAY set) it starts the
# Windows program under Wine; without one it lists a folder with
# tallyfold-list (the folder given, or this repository's sources) and says
# where the report is.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
"$root/scripts/install-deps.sh"
build=$root/build

if [ -n "${DISPLAY:-}" ]; then
  cmake -S . -B "$build/win32" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-i686-w64-mingw32.cmake" >/dev/null
  ninja -C "$build/win32" Tallyfold >/dev/null
  export WINEPREFIX=${WINEPREFIX:-$build/wine-user} WINEARCH=win32 WINEDEBUG=-all
  exec wine "$build/win32/src/app/Tallyfold.exe"
fi

cmake -S . -B "$build/release" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTALLYFOLD_TESTS=OFF -DTALLYFOLD_BENCH=OFF >/dev/null
ninja -C "$build/release" tallyfold-list >/dev/null
source=${1:-$root/src}
"$build/release/src/app/tallyfold-list" --record type,size,created,modified --output "$build/Tallyfold.txt" "$source"
echo "The listing of $source is in $build/Tallyfold.txt"
