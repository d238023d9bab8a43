#!/usr/bin/env bash
# The Debian package of the command-line tools: lintian finds no errors;
# installed into a clean Debian 12 root (debootstrap, from the machine's own
# Debian mirror) the tools answer --help, their manual pages render, a
# listing runs and completion works; `dpkg -r` then leaves the root as it
# was before the install.
#   deb_check.sh BUILD_ROOT      (dist/ beside it holds the package)
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=$1
version=$(sed -n 's/^project(Tallyfold VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")
deb=$root/dist/tallyfold-tools_${version}_amd64.deb
[ -f "$deb" ] || { echo "no $deb" >&2; exit 1; }
fail() { echo "deb check: $*" >&2; exit 1; }

lintian --fail-on error --suppress-tags-from-file /dev/null "$deb" || fail "lintian reports errors"

# A minimal Debian 12 with man-db, made once per build folder and unpacked
# afresh for every check.
base=$build/debian12-root.tar
work=$build/deb-check
chroot_dir=$work/root
if [ ! -f "$base" ]; then
  mirror=$(apt-get indextargets --format '$(REPO_URI) $(RELEASE)' 'Identifier: Packages' |
    awk '$2 == "bookworm" { print $1; exit }')
  [ -n "$mirror" ] || fail "no Debian 12 mirror in the package sources"
  rm -rf "$work"
  mkdir -p "$work"
  debootstrap --variant=minbase --include=man-db bookworm "$chroot_dir" "$mirror" >"$work/debootstrap.log" 2>&1 ||
    { tail -20 "$work/debootstrap.log" >&2; fail "debootstrap failed"; }
  rm -rf "$chroot_dir"/var/cache/apt/archives/*.deb
  tar -C "$chroot_dir" -cf "$base.part" . && mv "$base.part" "$base"
fi
rm -rf "$work"
mkdir -p "$chroot_dir"
tar -C "$chroot_dir" -xf "$base"
in_root() { LC_ALL=C.UTF-8 PATH=/usr/sbin:/usr/bin:/sbin:/bin chroot "$chroot_dir" "$@"; }
files() {
  (cd "$chroot_dir" && find . -path ./tmp -prune -o -path ./var/lib/dpkg -prune -o -path ./var/log -prune \
    -o -path ./var/cache/man -prune -o -print | sort)
}
files > "$work/before.txt"

cp "$deb" "$chroot_dir/tmp/"
in_root dpkg -i "/tmp/$(basename "$deb")" >/dev/null || fail "dpkg -i failed"

for tool in tallyfold-list tallyfold-diff tallyfold-png tallyfold-skin; do
  [ "$(in_root "$tool" --version)" = "$tool $version" ] || fail "$tool --version"
  in_root "$tool" --help >/dev/null || fail "$tool --help"
  page=$(in_root env MANWIDTH=80 man "$tool" 2>"$work/man-errors.txt") || fail "man $tool"
  [ ! -s "$work/man-errors.txt" ] || { cat "$work/man-errors.txt" >&2; fail "man $tool warns"; }
  for section in NAME SYNOPSIS OPTIONS "EXIT STATUS" EXAMPLES; do
    grep -q "^$section" <<<"$page" || fail "man $tool has no $section"
  done
done
in_root tallyfold-list --help | grep -q -- '--read-ahead' || fail "tallyfold-list --help lacks its options"

mkdir -p "$chroot_dir/tmp/tree/sub"
printf 'twelve bytes' > "$chroot_dir/tmp/tree/sub/listed.txt"
in_root tallyfold-list --format jsonl --output /tmp/listing.jsonl /tmp/tree >/dev/null 2>&1 || fail "the listing failed"
grep -q '"name":"listed.txt".*"size":12' "$chroot_dir/tmp/listing.jsonl" || fail "the listing lacks listed.txt"

completed=$(in_root bash -c '. /usr/share/bash-completion/completions/tallyfold-list
  COMP_WORDS=(tallyfold-list --format ""); COMP_CWORD=2; _tallyfold_list; echo "${COMPREPLY[*]}"')
[ "$completed" = "text html csv jsonl ncdu explorer hashdeep mtree efu" ] || fail "completion of --format gave '$completed'"
[ -f "$chroot_dir/usr/share/doc/tallyfold-tools/copyright" ] || fail "no licence in /usr/share/doc"

in_root dpkg -r tallyfold-tools >/dev/null || fail "dpkg -r failed"
files > "$work/after.txt"
diff "$work/before.txt" "$work/after.txt" >&2 || fail "dpkg -r did not remove every file"
echo "deb check: lintian clean, installed, used, removed without a trace"
