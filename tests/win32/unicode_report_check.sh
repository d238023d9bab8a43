#!/usr/bin/env bash
# Lists one tree with folders named in three scripts, an emoji and an
# accent, a long name and a path beyond 300 characters, once with the Windows
# tallyfold-list.exe under Wine and once with the native build, and checks
# that the two reports are the same bytes (the Windows one with "\" read as
# "/"), in both formats.
#   unicode_report_check.sh BUILD_ROOT   (needs BUILD_ROOT/native and BUILD_ROOT/win32)
set -euo pipefail
build=$1
native=$build/native/src/app/tallyfold-list
windows=${TALLYFOLD_WIN32_BUILD:-$build/win32}/src/app/tallyfold-list.exe
[ -x "$native" ] && [ -e "$windows" ] || { echo "needs $native and $windows" >&2; exit 1; }
fail() { echo "unicode report check: $*" >&2; exit 1; }

work=$build/unicode-check
rm -rf "$work"
mkdir -p "$work/tree"
cd "$work"
greek40=$(printf 'α%.0s' $(seq 40))
# One subfolder per folder: sections follow each platform's own search
# order, which differs between the two when a folder has several.
deep=tree
for folder in 日本語 Ελληνικά "emoji 😀" café; do
  deep=$deep/$folder
  mkdir -p "$deep"
  printf 'abc' > "$deep/$folder.abc"
  printf '%1536s' > "$deep/x.abc"
done
printf '%2560s' > "$deep/$greek40.abc"
for i in 1 2 3 4 5 6 7; do deep=$deep/$(printf 'ü%.0s' $(seq 40))$i; done
mkdir -p "$deep"
printf '%512s' > "$deep/deep.abc"
[ "${#deep}" -gt 300 ] || fail "the deep path is only ${#deep} characters"
find tree -exec touch -d '2009-03-07 09:05:30 UTC' {} +

# The shell's name for .abc is the native build's.
wine reg add 'HKCR\.abc' /ve /d abcfile /f >/dev/null 2>&1
wine reg add 'HKCR\abcfile' /ve /d 'ABC File' /f >/dev/null 2>&1

mkdir -p 報告
for format in text html; do
  args=(--record type,size,modified --order name --format "$format")
  "$native" "${args[@]}" --output "報告/native.$format" tree >/dev/null
  wine "$windows" "${args[@]}" --output "報告\\windows.$format" tree >/dev/null 2>&1 ||
    fail "tallyfold-list.exe failed ($format)"
  [ -s "報告/windows.$format" ] || fail "no Windows report ($format)"
  tr '\\' '/' < "報告/windows.$format" > "報告/windows-slashes.$format"
  cmp "報告/native.$format" "報告/windows-slashes.$format" ||
    { diff "報告/native.$format" "報告/windows-slashes.$format" | head -20 >&2; fail "the reports differ ($format)"; }
  grep -q "deep.abc" "報告/native.$format" || fail "the deep folder was not listed ($format)"
done
# The cut counts characters: 35 Greek letters, 70 bytes.
grep -q "^$(printf 'α%.0s' $(seq 35))          ABC File" 報告/native.text || fail "the long name was not cut at 35 characters"
# A saved listing below a Japanese-named folder, past 260 characters, read
# by the Windows tools: the comparison of it with itself, and its replay.
saved=$deep/一覧.jsonl
"$native" --format jsonl --output "$saved" tree/日本語 >/dev/null
[ "${#saved}" -gt 260 ] || fail "the saved listing's path is only ${#saved} characters"
differ=$(dirname "$windows")/tallyfold-diff.exe
wine "$differ" --output "報告\\same.txt" "$saved" "$saved" >/dev/null 2>&1 || fail "tallyfold-diff.exe did not find the listing equal to itself"
grep -q "^new: .*日本語" 報告/same.txt || fail "tallyfold-diff.exe wrote no comparison"
# Its error list (none, here) beside it, past 260 characters too.
wine "$windows" --from "$saved" --format text --output "報告\\from.text" --errors "$deep/錯誤.txt" >/dev/null 2>&1 ||
  fail "tallyfold-list.exe --from failed"
[ -e "$deep/錯誤.txt" ] || fail "the error list was not written"
grep -q "deep.abc" 報告/from.text || fail "the replay of the saved listing lacks the deep folder"
echo "unicode report check: text and HTML reports identical ($(wc -l < 報告/native.text) text lines)"
