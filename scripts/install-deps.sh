#!/usr/bin/env bash
# Installs what the build and the tests need on a Debian 12 machine (run as
# root). Only missing packages are fetched; a machine that has them all is
# left untouched.
set -euo pipefail

packages=(cmake ninja-build g++ clang googletest libgtest-dev libbenchmark-dev
          g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix
          wine wine32:i386 wine64 xvfb xdotool imagemagick x11-utils
          zlib1g-dev libpng-dev libspng-dev libclang-rt-14-dev python3 nlohmann-json3-dev
          libxxhash-dev nettle-dev xxhash hashdeep mtree-netbsd jdupes
          ncdu gdu chromium nsis zip unzip dpkg-dev lintian man-db debootstrap ntfs-3g attr)
# The explorer page's tests run on Node.js and npm; a machine that already
# has them from elsewhere keeps its own.
command -v node >/dev/null || packages+=(nodejs)
command -v npm >/dev/null || packages+=(npm)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  dpkg --add-architecture i386
fi
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq "${missing[@]}" >/dev/null
