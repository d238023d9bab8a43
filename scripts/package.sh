#!/usr/bin/env bash
# Builds the release into dist/: the portable zips of the Windows program
# (64-bit and 32-bit), the per-user installer that carries both, and the
# Debian package of the command-line tools. The version is the project's,
# from CMakeLists.txt.
#   package.sh              builds everything in build/package
#   package.sh BUILD_ROOT   takes the Windows programs from the test
#                           command's BUILD_ROOT/win64 and win32 builds
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
"$root/scripts/install-deps.sh"

version=$(sed -n 's/^project(Tallyfold VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
[ -n "$version" ] || { echo "no project version in CMakeLists.txt" >&2; exit 1; }
jobs=$(nproc)
work=$root/build/package
windows_builds=${1:-$work}
dist=$root/dist
rm -rf "$dist" "$work"/stage-* "$work/nsis"
mkdir -p "$work" "$dist"
step() { printf '\n== %s\n' "$*"; }

# --- Windows ------------------------------------------------------------------
declare -A toolchain=([win64]=x86_64-w64-mingw32 [win32]=i686-w64-mingw32)
declare -A toolchain_file=([win64]=toolchain-x86_64-w64-mingw32.cmake [win32]=toolchain-i686-w64-mingw32.cmake)
for arch in win64 win32; do
  step "$arch programs"
  programs=$windows_builds/$arch
  if [ ! -f "$programs/CMakeCache.txt" ]; then
    cmake -S . -B "$programs" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTALLYFOLD_TESTS=OFF -DTALLYFOLD_BENCH=OFF \
      -DCMAKE_TOOLCHAIN_FILE="$root/cmake/${toolchain_file[$arch]}" >/dev/null
  fi
  ninja -C "$programs" -j"$jobs" Tallyfold tallyfold-list tallyfold-diff tallyfold-png tallyfold-skin

  stage=$work/stage-$arch/Tallyfold-$version-$arch
  mkdir -p "$stage"
  cp "$programs/src/app/"{Tallyfold,tallyfold-list,tallyfold-diff,tallyfold-skin}.exe "$programs/src/png/tallyfold-png.exe" "$stage/"
  "${toolchain[$arch]}-strip" "$stage/"*.exe
  cp -r assets/images "$stage/images"
  # Windows text files: CR LF.
  sed "s/@VERSION@/$version/g; s/\$/\r/" packaging/windows/README.txt > "$stage/README.txt"
  sed 's/$/\r/' LICENSE > "$stage/LICENSE.txt"
  sed 's/$/\r/' THIRD-PARTY-NOTICES.txt > "$stage/THIRD-PARTY-NOTICES.txt"
  # The full notices of the toolchain that built these programs.
  sed 's/$/\r/' /usr/share/doc/mingw-w64-common/copyright > "$stage/mingw-w64-runtime.txt"
  sed 's/$/\r/' /usr/share/doc/gcc-mingw-w64-base/copyright > "$stage/gcc-runtime.txt"
  (cd "$(dirname "$stage")" && zip -qr -X "$dist/Tallyfold-$version-$arch.zip" "$(basename "$stage")")
done

step "installer"
# The file lists for the installer and the uninstaller, from the staged
# folders (both hold the same names).
lists=$work/nsis
mkdir -p "$lists"
stage64=$work/stage-win64/Tallyfold-$version-win64
stage32=$work/stage-win32/Tallyfold-$version-win32
winpath() { printf '%s' "${1//\//\\}"; }
for arch in win64 win32; do
  stage=$work/stage-$arch/Tallyfold-$version-$arch
  {
    (cd "$stage" && find . -type d | sort) | while read -r dir; do
      rel=${dir#./}; rel=${rel#.}
      echo "SetOutPath \"\$INSTDIR$( [ -n "$rel" ] && printf '\\%s' "$(winpath "$rel")")\""
      (cd "$stage/$dir" && find . -maxdepth 1 -type f | sort) | while read -r file; do
        echo "File \"$stage/${dir#./}/${file#./}\""
      done
    done
  } > "$lists/install-$arch.nsh"
done
{
  (cd "$stage64" && find . -type f | sort) | while read -r file; do
    echo "Delete \"\$INSTDIR\\$(winpath "${file#./}")\""
  done
  (cd "$stage64" && find . -mindepth 1 -type d | sort -r) | while read -r dir; do
    echo "RMDir \"\$INSTDIR\\$(winpath "${dir#./}")\""
  done
} > "$lists/uninstall.nsh"
makensis -V2 -DVERSION="$version" -DSTAGE64="$stage64" -DSTAGE32="$stage32" -DFILES="$lists" \
  -DOUTFILE="$dist/Tallyfold-$version-setup.exe" packaging/windows/tallyfold.nsi

# --- Debian package of the command-line tools -----------------------------------
step "Debian package"
cmake -S . -B "$work/deb" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTALLYFOLD_TESTS=OFF -DTALLYFOLD_BENCH=OFF \
  -DCMAKE_INSTALL_PREFIX=/usr >/dev/null
ninja -C "$work/deb" -j"$jobs" tallyfold-list tallyfold-diff tallyfold-png tallyfold-skin
"$root/packaging/debian/make-deb.sh" "$work/deb" "$version" "$dist"

ls -l "$dist"
