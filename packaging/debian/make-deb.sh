#!/usr/bin/env bash
# Makes DIST/tallyfold-tools_VERSION_amd64.deb from a native build folder
# configured with the prefix /usr: the files are what `cmake --install`
# puts there (stripped), with the manual pages compressed as Debian wants.
#   make-deb.sh BUILD_DIR VERSION DIST_DIR
set -euo pipefail
build=$1 version=$2 dist=$3
here=$(cd "$(dirname "$0")" && pwd)
package=tallyfold-tools
root=$build/deb-root
rm -rf "$root" "$build/deb-shlibs"
DESTDIR=$root cmake --install "$build" --strip >/dev/null
gzip -9n "$root"/usr/share/man/man1/*.1
doc=$root/usr/share/doc/$package
when=$(git -C "$here" log -1 --format=%ct 2>/dev/null || date +%s)
printf '%s (%s) unstable; urgency=medium\n\n  * Release %s.\n\n -- %s  %s\n' \
  "$package" "$version" "$version" "The Tallyfold developers <tallyfold@example.org>" \
  "$(date -R -u -d "@$when")" | gzip -9n > "$doc/changelog.gz"

# The libraries the tools need, as Debian names them.
mkdir -p "$build/deb-shlibs/debian"
printf 'Source: tallyfold\n\nPackage: %s\nArchitecture: amd64\n' "$package" > "$build/deb-shlibs/debian/control"
depends=$(cd "$build/deb-shlibs" && dpkg-shlibdeps -O "$root"/usr/bin/* 2>/dev/null | sed -n 's/^shlibs:Depends=//p')
[ -n "$depends" ] || { echo "make-deb: no library dependencies found" >&2; exit 1; }

find "$root" -type d -exec chmod 0755 {} +
find "$root" -type f -exec chmod 0644 {} +
chmod 0755 "$root"/usr/bin/*
mkdir -p "$root/DEBIAN"
(cd "$root" && find usr -type f -exec md5sum {} + | sort -k2) > "$root/DEBIAN/md5sums"
cat > "$root/DEBIAN/control" <<CONTROL
Package: $package
Version: $version
Architecture: amd64
Maintainer: The Tallyfold developers <tallyfold@example.org>
Installed-Size: $(du -sk "$root/usr" | cut -f1)
Depends: $depends
Section: utils
Priority: optional
Homepage: https://tallyfold.example.org/
Description: folder listings for scripts, and their comparison
 tallyfold-list writes a listing of every file below a folder: a text or
 HTML report with a section per folder and a totals block, or a CSV or
 JSON Lines listing for other programs. Each folder is entered once however
 many links lead to it, folders are read ahead on worker threads, and
 folders that cannot be listed are named with their reason.
 .
 tallyfold-diff compares two JSON Lines listings: what was added, removed
 and changed, and how each folder's size changed.
 .
 tallyfold-png and tallyfold-skin check the pictures and build the skin
 files of the Tallyfold window.
CONTROL
chmod 0644 "$root/DEBIAN/control" "$root/DEBIAN/md5sums"
mkdir -p "$dist"
dpkg-deb --root-owner-group -Zxz --build "$root" "$dist/${package}_${version}_amd64.deb" >/dev/null
echo "$dist/${package}_${version}_amd64.deb"
