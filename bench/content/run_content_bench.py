#!/usr/bin/env python3
"""Content benchmarks, each against a reference run on the same files in
the same run:

1. `tallyfold-list --hash` (XXH3-128) over a folder of large files against
   `xxhsum -H2` over the same files: throughput ratio, and the digests must
   agree. Each is run once to warm the cache, then timed (best of three).
2. `tallyfold-list --duplicates` on a generated tree with planted groups
   against the duplicate finders that are installed (jdupes, rdfind, rmlint,
   fdupes): time ratio, and the groups found compared as sets of paths.

usage: run_content_bench.py TALLYFOLD_LIST [WORK_DIR]
TALLYFOLD_LIST should come from a Release build. WORK_DIR (default a
temporary folder) needs about 3 GB.
"""
import json
import os
import random
import shutil
import subprocess
import sys
import tempfile
import time

LIST = os.path.abspath(sys.argv[1])
LARGE_FILES, LARGE_SIZE = 8, 256 << 20


def best_of(runs, command, **kw):
    best = None
    for _ in range(runs):
        start = time.perf_counter()
        proc = subprocess.run(command, capture_output=True, **kw)
        elapsed = time.perf_counter() - start
        assert proc.returncode in (0, 1), (command, proc.stderr[-2000:])
        best = elapsed if best is None else min(best, elapsed)
    return best, proc


def hash_bench(work):
    folder = os.path.join(work, "large")
    os.makedirs(folder)
    block = os.urandom(1 << 20)
    for i in range(LARGE_FILES):
        with open(os.path.join(folder, "f%d.bin" % i), "wb") as f:
            for j in range(LARGE_SIZE >> 20):
                f.write(block[j % 7:] + block[:j % 7])
    files = sorted(os.path.join(folder, n) for n in os.listdir(folder))
    out = os.path.join(work, "hash.jsonl")
    ours_cmd = [LIST, "--hash", "--format", "jsonl", "--output", out, folder]
    ref_cmd = ["xxhsum", "-H2"] + files
    best_of(1, ours_cmd)
    best_of(1, ref_cmd)
    ours, _ = best_of(3, ours_cmd)
    ref, proc = best_of(3, ref_cmd)
    expected = {}
    for line in proc.stdout.decode().splitlines():
        digest, name = line.split("  ", 1)
        expected[name] = "xxh128:" + digest
    with open(out) as f:
        got = {r["path"]: r["hash"] for r in map(json.loads, f) if r["kind"] == "file"}
    assert got == expected, "digests differ from xxhsum"
    total = LARGE_FILES * LARGE_SIZE
    print("hash: %d files, %d MiB (cached): tallyfold-list --hash %.2f s (%.0f MB/s), xxhsum -H2 %.2f s "
          "(%.0f MB/s): %.0f%% of its throughput, digests agree"
          % (LARGE_FILES, total >> 20, ours, total / ours / 1e6, ref, total / ref / 1e6, 100 * ref / ours))
    shutil.rmtree(folder)


def make_dup_tree(root, rng):
    """20,000 files in 200 folders: 600 planted groups of 2-5 copies, files
    of one size that differ only in the middle or the last byte, hard links,
    empty files, and the rest unique."""
    os.makedirs(root)
    folders = [os.path.join(root, "d%03d" % i) for i in range(200)]
    for f in folders:
        os.makedirs(f)
    n = 0

    def put(data):
        nonlocal n
        path = os.path.join(folders[n % len(folders)], "f%05d.bin" % n)
        n += 1
        with open(path, "wb") as f:
            f.write(data)
        return path

    for g in range(600):
        size = rng.choice([100, 5000, 70000, 300000, 2 << 20])
        data = rng.randbytes(size)
        for _ in range(rng.randint(2, 5)):
            put(data)
        near = bytearray(data)
        near[size // 2] ^= 1
        put(bytes(near))          # same size and ends, other middle
        near = bytearray(data)
        near[-1] ^= 1
        put(bytes(near))          # same size and start, other end
        if g % 10 == 0:
            first = put(data)
            os.link(first, first + ".link")
    for _ in range(50):
        put(b"")
    while n < 20000:
        put(rng.randbytes(rng.choice([10, 3000, 40000, 200000])))


def groups_of_lists(text):
    groups, current = [], []
    for line in text.splitlines():
        if not line.strip():
            if current:
                groups.append(frozenset(current))
            current = []
        else:
            current.append(line.strip())
    if current:
        groups.append(frozenset(current))
    return {g for g in groups if len(g) > 1}


def drop_links(groups):
    """The peers may list several links of one file; a group is the files."""
    out = set()
    for g in groups:
        seen, keep = set(), []
        for p in sorted(g):
            st = os.stat(p)
            if (st.st_dev, st.st_ino) not in seen:
                seen.add((st.st_dev, st.st_ino))
                keep.append(p)
        if len(keep) > 1:
            out.add(frozenset(os.stat(p).st_ino for p in keep))
    return out


def peers(tree, work):
    """Each installed peer: its command and a reader of the groups it found."""
    def rdfind_groups(_):
        results = os.path.join(work, "results.txt")
        groups = {}
        with open(results) as f:
            for line in f:
                if line.startswith("#"):
                    continue
                parts = line.rstrip("\n").split(" ", 7)
                if len(parts) == 8:
                    groups.setdefault(parts[1].lstrip("-"), []).append(parts[7])
        return {frozenset(g) for g in groups.values() if len(g) > 1}

    def rmlint_groups(_):
        with open(os.path.join(work, "rmlint.json")) as f:
            items = json.load(f)
        groups = {}
        for item in items:
            if item.get("type") == "duplicate_file":
                groups.setdefault(item["checksum"], []).append(item["path"])
        return {frozenset(g) for g in groups.values() if len(g) > 1}

    found = []
    if shutil.which("jdupes"):
        found.append(("jdupes -r", ["jdupes", "-r", "-q", tree], lambda p: groups_of_lists(p.stdout.decode())))
    if shutil.which("fdupes"):
        found.append(("fdupes -r", ["fdupes", "-r", "-q", "-n", tree], lambda p: groups_of_lists(p.stdout.decode())))
    if shutil.which("rdfind"):
        found.append(("rdfind", ["rdfind", "-outputname", os.path.join(work, "results.txt"), tree], rdfind_groups))
    if shutil.which("rmlint"):
        found.append(("rmlint", ["rmlint", "-T", "df", "-o", "json:" + os.path.join(work, "rmlint.json"), tree],
                      rmlint_groups))
    return found


def duplicates_bench(work):
    tree = os.path.join(work, "dups")
    make_dup_tree(tree, random.Random(7))
    out = os.path.join(work, "dups.jsonl")
    cmd = [LIST, "--duplicates", "--format", "jsonl", "--output", out, tree]
    best_of(1, cmd)
    ours, _ = best_of(3, cmd)
    with open(out) as f:
        mine = drop_links({frozenset(g["paths"]) for g in map(json.loads, f)})
    print("duplicates: 20,000 files (cached): tallyfold-list --duplicates %.2f s, %d groups" % (ours, len(mine)))
    for name, command, read_groups in peers(tree, work):
        best_of(1, command, cwd=work)
        theirs_time, proc = best_of(3, command, cwd=work)
        theirs = drop_links(read_groups(proc))
        same = "same groups" if theirs == mine else "groups differ: %d only ours, %d only theirs" % (
            len(mine - theirs), len(theirs - mine))
        print("  %-10s %.2f s: tallyfold %.2fx its time; %d groups, %s"
              % (name, theirs_time, ours / theirs_time, len(theirs), same))


def main():
    work = sys.argv[2] if len(sys.argv) > 2 else tempfile.mkdtemp()
    try:
        hash_bench(work)
        duplicates_bench(work)
    finally:
        if len(sys.argv) <= 2:
            shutil.rmtree(work)


main()
