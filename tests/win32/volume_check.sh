#!/usr/bin/env bash
# Lists one NTFS image from its file table (--volume) with the Windows
# tallyfold-list.exe under Wine and with the native build, and checks that
# the listings are the same bytes in every format; an image that is not NTFS
# is refused by both.
#   volume_check.sh BUILD_ROOT   (needs BUILD_ROOT/native and BUILD_ROOT/win32)
# The image is made through ntfs-3g: without root and FUSE the check is
# skipped.
set -euo pipefail
build=$1
native=$build/native/src/app/tallyfold-list
windows=${TALLYFOLD_WIN32_BUILD:-$build/win32}/src/app/tallyfold-list.exe
[ -x "$native" ] && [ -e "$windows" ] || { echo "needs $native and $windows" >&2; exit 1; }
fail() { echo "volume check: $*" >&2; exit 1; }
if [ "$(id -u)" != 0 ] || [ ! -e /dev/fuse ] || ! command -v mkntfs >/dev/null || ! command -v ntfs-3g >/dev/null; then
  echo "volume check: skipped (needs root, /dev/fuse, mkntfs and ntfs-3g)"
  exit 0
fi

work=$build/volume-check
rm -rf "$work"
mkdir -p "$work/mnt"
cd "$work"
truncate -s 16M disk
mkntfs -F -Q disk >/dev/null 2>&1
ntfs-3g disk mnt
{
  mkdir -p mnt/日本語/Ελληνικά mnt/deep/a/b/c
  printf 'abc' > mnt/日本語/notes.abc
  printf '%3000s' > mnt/deep/a/b/c/big.txt
  ln mnt/deep/a/b/c/big.txt mnt/日本語/again.txt
  ln -s notes.abc mnt/日本語/link
  truncate -s 5G mnt/sparse.bin
  for i in $(seq 40); do printf '%s' "$i" > "mnt/deep/file-$i"; done
} || { umount mnt; fail "cannot make the tree"; }
umount mnt

export SOURCE_DATE_EPOCH=1709210096
for format in text html csv jsonl ncdu explorer efu; do
  args=(--record type,size,created,modified --format "$format" --volume disk)
  "$native" "${args[@]}" --output "native.$format" >/dev/null 2>&1 || fail "the native run failed ($format)"
  wine "$windows" "${args[@]}" --output "windows.$format" >/dev/null 2>&1 ||
    fail "tallyfold-list.exe failed ($format)"
  cmp "native.$format" "windows.$format" ||
    { diff "native.$format" "windows.$format" | head -20 >&2; fail "the listings differ ($format)"; }
done
grep -q '"name":"big.txt"' native.jsonl || fail "the deep file was not listed"
grep -q '"inode":' native.jsonl || fail "the hard link was not listed as one"

head -c 1048576 /dev/zero > zeros
set +e
wine "$windows" --volume zeros --output refused.txt >/dev/null 2> refused.err
status=$?
set -e
[ "$status" = 2 ] && grep -q "not an NTFS volume" refused.err || fail "a volume of zeros: exit $status: $(cat refused.err)"
echo "volume check: every format identical ($(wc -l < native.jsonl) entries)"
