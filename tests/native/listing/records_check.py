#!/usr/bin/env python3
"""CSV and JSON Lines listings read back by real parsers, and tallyfold-diff
on two listings of one tree with known changes.

usage: records_check.py TALLYFOLD_LIST TALLYFOLD_DIFF
"""
import csv
import io
import json
import os
import subprocess
import sys
import tempfile

LIST, DIFF = sys.argv[1], sys.argv[2]
ODD_NAMES = ["comma,name.txt", 'quote"name.txt', "line\nbreak.txt", "cr\rname.txt", "plain.txt"]


def listing(source, fmt, out):
    proc = subprocess.run([LIST, "--format", fmt, "--output", out, source], capture_output=True)
    assert proc.returncode == 0, proc.stderr
    with open(out, "rb") as f:
        return f.read()


def write(path, data):
    with open(path, "wb") as f:
        f.write(data)


def main():
    with tempfile.TemporaryDirectory() as work:
        src = os.path.join(work, "src")
        os.makedirs(os.path.join(src, "sub", "deep"))
        for i, name in enumerate(ODD_NAMES):
            write(os.path.join(src, name), b"x" * (i + 1))
        write(os.path.join(src, "sub", "a.bin"), b"a" * 100)
        write(os.path.join(src, "sub", "deep", "b.bin"), b"b" * 1000)
        write(os.fsdecode(os.path.join(os.fsencode(src), b"bad\xffbyte.txt")), b"z")
        expected_files = {os.path.join(src, n) for n in ODD_NAMES} | {
            os.path.join(src, "sub", "a.bin"), os.path.join(src, "sub", "deep", "b.bin"),
            os.path.join(src, "bad\ufffdbyte.txt")}

        # JSON Lines: every line a JSON object; folders after their contents.
        jsonl = listing(src, "jsonl", os.path.join(work, "old.jsonl")).decode("utf-8")
        records = [json.loads(line) for line in jsonl.split("\n") if line]
        files = {r["path"]: r for r in records if r["kind"] == "file"}
        folders = {r["path"]: r for r in records if r["kind"] == "folder"}
        assert set(files) == expected_files, set(files) ^ expected_files
        assert files[os.path.join(src, "line\nbreak.txt")]["size"] == 3
        assert records[-1]["path"] == src and records[-1]["subtree_bytes"] == 15 + 100 + 1000 + 1
        assert folders[os.path.join(src, "sub")]["subtree_bytes"] == 1100
        assert folders[os.path.join(src, "sub")]["bytes"] == 100
        order = [r["path"] for r in records]
        assert order.index(os.path.join(src, "sub", "deep")) < order.index(os.path.join(src, "sub"))
        for r in records:
            assert r["modified"].endswith("Z") and len(r["modified"]) == 20, r

        # CSV: the same records, quoted where a field holds , " CR or LF.
        data = listing(src, "csv", os.path.join(work, "l.csv"))
        rows = list(csv.DictReader(io.StringIO(data.decode("utf-8"), newline="")))
        assert data.startswith(b"path,name,kind,type,size,created,modified,files,bytes,subtree_bytes,skipped\r\n")
        assert {r["path"] for r in rows if r["kind"] == "file"} == expected_files
        assert {r["name"]: r["size"] for r in rows}['quote"name.txt'] == "2"

        # The text report keeps its CR LF lines: a CR or LF of a name is "?".
        text = listing(src, "text", os.path.join(work, "l.txt"))
        assert text.count(b"\n") == text.count(b"\r\n") and text.count(b"\r") == text.count(b"\r\n")
        assert b"line?break.txt" in text and b"cr?name.txt" in text

        # Known changes, then the comparison.
        write(os.path.join(src, "plain.txt"), b"p" * 50)
        os.remove(os.path.join(src, "sub", "a.bin"))
        write(os.path.join(src, "sub", "deep", "new.bin"), b"n" * 7)
        new = os.path.join(work, "new.jsonl")
        listing(src, "jsonl", new)
        old = os.path.join(work, "old.jsonl")
        proc = subprocess.run([DIFF, old, new], capture_output=True)
        assert proc.returncode == 1, proc
        lines = proc.stdout.decode().splitlines()
        # Paths relative to the sources, which head the comparison.
        assert lines[:2] == ["old: " + src, "new: " + src], lines
        assert "+ %s (7 bytes)" % os.path.join("sub", "deep", "new.bin") in lines, lines
        assert "- %s (100 bytes)" % os.path.join("sub", "a.bin") in lines, lines
        assert any(l.startswith("~ plain.txt: size 5 -> 50 (+45)") for l in lines), lines
        assert "folder sub: 1100 -> 1007 bytes (-93)" in lines, lines
        assert lines[-1] == "total: 1116 -> 1068 bytes (-48)", lines
        proc = subprocess.run([DIFF, "--format", "jsonl", old, new], capture_output=True)
        changes = [json.loads(l) for l in proc.stdout.decode().splitlines()]
        assert sorted(c["change"] for c in changes) == sorted(
            ["added", "removed", "changed", "folder", "folder", "folder", "summary", "total"]), changes
        assert subprocess.run([DIFF, new, new]).returncode == 0
        write(os.path.join(work, "broken.jsonl"), b'{"path": 1}\n')
        assert subprocess.run([DIFF, old, os.path.join(work, "broken.jsonl")], capture_output=True).returncode == 2
    print("records and comparison: ok")


if __name__ == "__main__":
    main()
