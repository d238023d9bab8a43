#!/usr/bin/env bash
# tallyfold-list.exe under Wine, where no volume can be read raw: a folder is
# walked whatever Wine calls its drive, --mft fails with the reason (exit 2),
# and the automatic choice writes the same listing as --walk.
#   walk_or_table_check.sh BUILD_ROOT   (needs BUILD_ROOT/win32)
set -euo pipefail
build=$1
windows=${TALLYFOLD_WIN32_BUILD:-$build/win32}/src/app/tallyfold-list.exe
[ -e "$windows" ] || { echo "needs $windows" >&2; exit 1; }
fail() { echo "walk or table check: $*" >&2; exit 1; }

work=$build/walk-or-table-check
rm -rf "$work"
mkdir -p "$work/tree/sub"
cd "$work"
printf 'abc' > tree/a.txt
printf '%3000s' > tree/sub/b.txt
export SOURCE_DATE_EPOCH=1709210096

set +e
wine "$windows" --mft --format jsonl --output mft.jsonl tree >/dev/null 2> mft.err
status=$?
set -e
[ "$status" = 2 ] || fail "--mft: exit $status, want 2: $(cat mft.err)"
grep -q "^tallyfold-list: --mft: cannot read the NTFS file table of tree: ." mft.err ||
  fail "--mft gave no reason: $(cat mft.err)"
[ ! -e mft.jsonl ] || fail "--mft wrote a listing"

wine "$windows" --format jsonl --output auto.jsonl tree >/dev/null 2> auto.err || fail "automatic: $(cat auto.err)"
wine "$windows" --walk --format jsonl --output walk.jsonl tree >/dev/null 2> walk.err || fail "--walk: $(cat walk.err)"
cmp auto.jsonl walk.jsonl || fail "the automatic listing is not the walk's"
tr -d '\r' < auto.err > auto.txt
if grep -q "Read from the NTFS file table" auto.txt; then fail "read a table Wine cannot give: $(cat auto.txt)"; fi
# Where Wine calls the drive NTFS, the walk says so.
note="no NTFS drive here"
if grep -q "^Walked the folders" auto.txt; then note=$(grep "^Walked the folders" auto.txt); fi
if grep -q "Walked\|Read from" walk.err; then fail "--walk said how it listed: $(cat walk.err)"; fi
echo "walk or table check: --mft refused, the automatic run walked ($note)"
