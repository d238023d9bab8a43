#!/usr/bin/env python3
"""The exchange formats read by the real tools: the hashdeep audit file
(hashdeep -a) and the mtree specification (mtree -f) pass on the tree they
were made of and fail, naming the file, on a changed one; the EFU list read
by Python's csv module against the tree.

usage: exports_check.py TALLYFOLD_LIST
"""
import csv
import io
import os
import re
import shutil
import subprocess
import sys
import tempfile

LIST = os.path.abspath(sys.argv[1])
EPOCH_TICKS = 116444736000000000


def write(path, data):
    with open(path, "wb") as f:
        f.write(data)


def listing(tree, fmt, out):
    proc = subprocess.run([LIST, "--format", fmt, "--output", out, tree], capture_output=True)
    assert proc.returncode == 0, proc
    return out


def make_tree(root):
    os.makedirs(os.path.join(root, "sub", "deep"))
    os.makedirs(os.path.join(root, "empty dir"))
    files = {"a.txt": b"alpha\n", "sub/b.bin": os.urandom(70000), "sub/deep/c": b"",
             "with space #1.txt": b"odd name", "sub/deep/d.dat": os.urandom(300)}
    for rel, data in files.items():
        write(os.path.join(root, rel), data)
    for dirpath, dirnames, filenames in os.walk(root):
        for name in filenames + dirnames:
            os.utime(os.path.join(dirpath, name), ns=(1700000000123456789, 1700000000123456789))


def change(root):
    """The same size and time, other content."""
    p = os.path.join(root, "sub", "b.bin")
    st = os.stat(p)
    data = bytearray(open(p, "rb").read())
    data[100] ^= 0xFF
    write(p, bytes(data))
    os.utime(p, ns=(st.st_atime_ns, st.st_mtime_ns))


def check_hashdeep(work, tree):
    known = listing(tree, "hashdeep", os.path.join(work, "known.txt"))
    ok = subprocess.run(["hashdeep", "-a", "-vv", "-k", known, "-r", tree], capture_output=True)
    assert ok.returncode == 0 and b"Audit passed" in ok.stdout, ok
    change(tree)
    bad = subprocess.run(["hashdeep", "-a", "-vv", "-k", known, "-r", tree], capture_output=True)
    assert bad.returncode != 0 and b"Audit failed" in bad.stdout, bad
    assert b"b.bin" in bad.stdout + bad.stderr, bad


def check_mtree(work, tree):
    # From a listing: the same specification but for the parts of seconds
    # a listing does not keep when it carries SHA-256, none (exit 2) when
    # its hashes are of another kind.
    spec = listing(tree, "mtree", os.path.join(work, "spec.mtree"))
    for algorithm, code in [("sha256", 0), ("xxh128", 2)]:
        saved = os.path.join(work, algorithm + ".jsonl")
        subprocess.run([LIST, "--hash", algorithm, "--format", "jsonl", "--output", saved, tree], check=True,
                       capture_output=True)
        replay = subprocess.run([LIST, "--format", "mtree", "--output", os.path.join(work, "replayed.mtree"),
                                 "--from", saved], capture_output=True)
        assert replay.returncode == code, replay
        if code == 0:
            with open(spec, "rb") as a, open(os.path.join(work, "replayed.mtree"), "rb") as b:
                whole = re.sub(rb"(time=[0-9]+)\.[0-9]{9}", rb"\1.000000000", a.read())
                assert whole == b.read() and whole.count(b"time=") == 5
    ok = subprocess.run(["mtree", "-f", spec, "-p", tree], capture_output=True)
    assert ok.returncode == 0 and ok.stdout == b"", ok
    change(tree)
    bad = subprocess.run(["mtree", "-f", spec, "-p", tree], capture_output=True)
    assert bad.returncode == 2 and b"sub/b.bin" in bad.stdout, bad
    assert b"sha256" in bad.stdout and b"a.txt" not in bad.stdout, bad


def check_efu(work, tree):
    out = listing(tree, "efu", os.path.join(work, "list.efu"))
    with open(out, encoding="utf-8", newline="") as f:
        rows = list(csv.DictReader(f))
    seen = {}
    for r in rows:
        st = os.lstat(r["Filename"])
        is_dir = os.path.isdir(r["Filename"])
        assert (int(r["Attributes"]) & 0x10 != 0) == is_dir, r
        assert int(r["Date Modified"]) == EPOCH_TICKS + st.st_mtime_ns // 100, r
        if not is_dir:
            assert int(r["Size"]) == st.st_size, r
        seen[r["Filename"]] = r
    expected = {tree}
    for dirpath, dirnames, filenames in os.walk(tree):
        expected |= {os.path.join(dirpath, n) for n in dirnames + filenames}
    assert set(seen) == expected, set(seen) ^ expected
    assert int(seen[tree]["Size"]) == sum(
        os.path.getsize(os.path.join(d, n)) for d, _, names in os.walk(tree) for n in names)


def main():
    work = tempfile.mkdtemp()
    try:
        for check in [check_hashdeep, check_mtree, check_efu]:
            tree = os.path.join(work, check.__name__)
            make_tree(tree)
            check(work, tree)
    finally:
        shutil.rmtree(work)
    print("hashdeep, mtree and efu exports: ok")


main()
