#!/usr/bin/env python3
"""Symbolic links as disk-usage tools count them: every format lists a link
with its own size, the totals count a file's bytes once however many links
lead to it, the listing keeps each link's target, and tallyfold-diff sees a
link retargeted behind an unchanged size and time.

usage: links_check.py TALLYFOLD_LIST TALLYFOLD_DIFF
"""
import csv
import io
import json
import os
import re
import subprocess
import sys
import tempfile

LIST, DIFF = sys.argv[1], sys.argv[2]
BIG = 10_000_000


def run(*args, expect=0):
    proc = subprocess.run(list(args), capture_output=True)
    assert proc.returncode == expect, (args, proc)
    return proc


def listing(work, source, fmt, *extra):
    out = os.path.join(work, "out." + fmt)
    proc = run(LIST, "--format", fmt, "--output", out, *extra, source)
    with open(out, "rb") as f:
        return f.read(), proc.stderr.decode()


def exact_target(record):
    """A link's target as bytes: target_bytes, where the target is not
    UTF-8, holds each byte outside UTF-8 as %XX."""
    if "target_bytes" not in record:
        return record["target"].encode()
    return re.sub(rb"%([0-9A-Fa-f]{2})", lambda m: bytes([int(m.group(1), 16)]),
                  record["target_bytes"].encode())


def main():
    with tempfile.TemporaryDirectory() as work:
        src = os.path.join(work, "src")
        os.makedirs(os.path.join(src, "sub"))
        with open(os.path.join(src, "big"), "wb") as f:
            f.truncate(BIG)
        os.symlink("big", os.path.join(src, "l1"))
        os.symlink("../big", os.path.join(src, "sub", "l2"))
        os.symlink("sub", os.path.join(src, "tofolder"))
        os.symlink(b"nowhere\xff", os.path.join(os.fsencode(src), b"dangling"))
        own = {p: os.lstat(os.path.join(src, p)) for p in ["l1", "sub/l2", "tofolder", "dangling"]}
        link_bytes = sum(st.st_size for st in own.values())

        # The totals line of every format: the file once, each link its own.
        for fmt in ["text", "html", "csv", "jsonl", "ncdu", "explorer", "efu", "mtree", "hashdeep"]:
            _, err = listing(work, src, fmt)
            assert "Files: 5  Bytes: %d " % (BIG + link_bytes) in err, (fmt, err)

        data, _ = listing(work, src, "jsonl")
        records = {r["path"][len(src) + 1:]: r for r in map(json.loads, data.decode().splitlines())}
        for path, st in own.items():
            r = records[path]
            assert r["kind"] == "link" and r["size"] == st.st_size, r
            assert r["allocated"] == st.st_blocks * 512, r
            assert exact_target(r) == os.readlink(os.fsencode(os.path.join(src, path))), r
        assert records[""]["subtree_bytes"] == BIG + link_bytes
        assert "target" not in records["big"]

        rows = list(csv.DictReader(io.StringIO(listing(work, src, "csv")[0].decode(), newline="")))
        assert {r["path"][len(src) + 1:]: int(r["size"]) for r in rows if r["kind"] == "link"} == {
            p: st.st_size for p, st in own.items()}
        ncdu = json.loads(listing(work, src, "ncdu")[0])
        sizes = {e["name"]: e.get("asize", 0) for e in ncdu[3][1:] if isinstance(e, dict)}
        assert sizes["l1"] == own["l1"].st_size and sizes["big"] == BIG, sizes
        efu = listing(work, src, "efu")[0].decode()
        assert '\\l1",%d,' % own["l1"].st_size in efu.replace("/", "\\"), efu

        # A listing from before links kept their target still replays; a
        # replay of a new one keeps the targets.
        old = os.path.join(work, "old.jsonl")
        with open(old, "w") as f:
            for line in data.decode().splitlines():
                r = json.loads(line)
                r.pop("target", None)
                f.write(json.dumps(r, separators=(",", ":"), ensure_ascii=False) + "\n")
        out = os.path.join(work, "replayed.jsonl")
        run(LIST, "--from", old, "--format", "jsonl", "--output", out)
        saved = os.path.join(work, "saved.jsonl")
        with open(saved, "wb") as f:
            f.write(data)
        run(LIST, "--from", saved, "--format", "jsonl", "--output", out)
        with open(out, "rb") as f:
            assert f.read() == data

        # Retargeted to a name of the same length, its time set back.
        link = os.path.join(src, "l1")
        st = own["l1"]
        os.remove(link)
        os.symlink("bog", link)
        os.utime(link, ns=(st.st_atime_ns, st.st_mtime_ns), follow_symlinks=False)
        assert os.lstat(link).st_size == st.st_size and os.lstat(link).st_mtime_ns == st.st_mtime_ns
        new = os.path.join(work, "new.jsonl")
        with open(new, "wb") as f:
            f.write(listing(work, src, "jsonl")[0])
        proc = run(DIFF, saved, new, expect=1)
        assert "~ l1: target changed" in proc.stdout.decode().splitlines(), proc.stdout
        # A target that is not UTF-8 is told apart by its bytes.
        dangling = os.path.join(os.fsencode(src), b"dangling")
        os.remove(dangling)
        os.symlink(b"nowhere\xfe", dangling)
        os.utime(dangling, ns=(own["dangling"].st_atime_ns, own["dangling"].st_mtime_ns), follow_symlinks=False)
        with open(new, "wb") as f:
            f.write(listing(work, src, "jsonl")[0])
        proc = run(DIFF, saved, new, expect=1)
        assert "~ dangling: target changed" in proc.stdout.decode().splitlines(), proc.stdout
        # Against a listing without targets nothing can be told, and nothing
        # is claimed.
        run(DIFF, old, new, expect=0)
    print("links: ok")


if __name__ == "__main__":
    main()
