#!/usr/bin/env python3
"""Content benchmarks, each against a reference run on the same files in
the same run:

1. `tallyfold-list --hash` (XXH3-128) over a folder of large files against
   `xxhsum -H2` over the same files: throughput ratio, and the digests must
   agree. Each is run once to warm the cache, then timed (best of three).
2. `tallyfold-list --duplicates` on a generated tree (200,000 files by
   default) with planted groups against the duplicate finders that are
   installed (jdupes, rdfind, rmlint, fdupes): time ratio, peak memory
   (maximum resident set, through bench/listing/peak_rss), and the groups
   found compared as sets of files. Warm cache (one run to warm, then the
   best of --repeat), and cold where the page cache can be dropped (as
   root).
3. `tallyfold-list --hash` on the same tree against the plain listing
   (same format) plus reading every file once: a Python read loop (one
   1 MiB buffer, each file read to its end) and `xargs -0 cat` into a pipe
   that `wc -c` empties; the ratio is against the faster of the two.
4. `tallyfold-list --hash --reuse EARLIER` on the same tree after 1% of its
   files were written again (the same bytes: their change time moves)
   against the plain listing: time ratio, and the hashes must equal those
   of a run that reads every file.
The runs compared in 3 and 4 are taken in turn, the best of --repeat each,
so that a change in the machine's load falls on both.

usage: run_content_bench.py TALLYFOLD_LIST [--work DIR] [--files N]
                            [--repeat N] [--no-large] [--no-cold]
                            [--no-duplicates]
TALLYFOLD_LIST should come from a Release build (with -DTALLYFOLD_BENCH=ON
peak_rss is found beside it). DIR (default a temporary folder, removed
after) needs about 3 GB for the large files and about 4 GB for the tree of
200,000 files; a tree made before in DIR is reused.
"""
import argparse
import json
import os
import random
import shutil
import subprocess
import sys
import tempfile
import time

LARGE_FILES, LARGE_SIZE = 8, 256 << 20

args = None
LIST = None
PEAK_RSS = None


def measured(command, cwd=None, stdout_path=None):
    """Runs a command once: (seconds, peak resident set in KiB or None,
    return code, stdout path)."""
    out = open(stdout_path, "wb") if stdout_path else subprocess.DEVNULL
    full = ([PEAK_RSS] if PEAK_RSS else []) + command
    start = time.perf_counter()
    proc = subprocess.run(full, cwd=cwd, stdout=out, stderr=subprocess.PIPE)
    elapsed = time.perf_counter() - start
    if stdout_path:
        out.close()
    rss = None
    if PEAK_RSS:
        last = proc.stderr.decode(errors="replace").strip().splitlines()[-1:]
        if last and last[0].startswith("cpu_s "):
            rss = int(last[0].split()[-1])
    assert proc.returncode in (0, 1), (command, proc.stderr[-2000:])
    return elapsed, rss, proc.returncode


def best_of(runs, command, **kw):
    best, rss = None, None
    for _ in range(runs):
        elapsed, peak, _ = measured(command, **kw)
        best = elapsed if best is None else min(best, elapsed)
        rss = peak if rss is None or peak is None else max(rss, peak)
    return best, rss


def best_of_each(runs, *commands):
    """The best time of each command, their runs taken in turn, so that a
    change in the machine's load falls on all of them alike."""
    best = [None] * len(commands)
    for _ in range(runs):
        for i, command in enumerate(commands):
            elapsed = measured(command)[0]
            best[i] = elapsed if best[i] is None else min(best[i], elapsed)
    return best


def drop_caches():
    """True when the page cache could be dropped."""
    try:
        subprocess.run(["sync"], check=True)
        with open("/proc/sys/vm/drop_caches", "w") as f:
            f.write("3\n")
        return True
    except OSError:
        return False


def hash_large_bench(work):
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
    ref_out = os.path.join(work, "xxhsum.txt")
    ref_cmd = ["xxhsum", "-H2"] + files
    best_of(1, ours_cmd)
    best_of(1, ref_cmd, stdout_path=ref_out)
    ours, _ = best_of(3, ours_cmd)
    ref, _ = best_of(3, ref_cmd, stdout_path=ref_out)
    expected = {}
    with open(ref_out) as f:
        for line in f:
            digest, name = line.rstrip("\n").split("  ", 1)
            expected[name] = "xxh128:" + digest
    with open(out) as f:
        got = {r["path"]: r["hash"] for r in map(json.loads, f) if r["kind"] == "file"}
    assert got == expected, "digests differ from xxhsum"
    total = LARGE_FILES * LARGE_SIZE
    print("hash: %d files, %d MiB (cached): tallyfold-list --hash %.2f s (%.0f MB/s), xxhsum -H2 %.2f s "
          "(%.0f MB/s): %.0f%% of its throughput, digests agree"
          % (LARGE_FILES, total >> 20, ours, total / ours / 1e6, ref, total / ref / 1e6, 100 * ref / ours))
    shutil.rmtree(folder)


def make_dup_tree(root, files, rng):
    """`files` files in files/100 folders (two levels): planted groups of
    2-5 copies of sizes from 1 byte to 4 MiB, files of one size that differ
    only in the middle or the last byte, hard links, empty files, and the
    rest unique, most of them sharing a size with others."""
    os.makedirs(root)
    folders = []
    for i in range(max(1, files // 5000)):  # 50 folders of about 100 files each
        for j in range(50):
            folders.append(os.path.join(root, "t%02d" % i, "d%02d" % j))
    for f in folders:
        os.makedirs(f)
    n = 0
    buffer = rng.randbytes(8 << 20)

    def data_of(size):
        start = rng.randrange(0, len(buffer) - size + 1) if size < len(buffer) else 0
        return buffer[start:start + size] if size <= len(buffer) else rng.randbytes(size)

    def put(data):
        nonlocal n
        path = os.path.join(folders[n % len(folders)], "f%06d.bin" % n)
        n += 1
        with open(path, "wb") as f:
            f.write(data)
        return path

    sizes = [1, 100, 4096, 5000, 8192, 8193, 30000, 65536, 70000, 300000, 1 << 20, 4 << 20]
    weights = [2, 10, 4, 10, 4, 4, 10, 4, 8, 4, 1, 0.2]
    groups = files * 3 // 100
    for g in range(groups):
        size = rng.choices(sizes, weights)[0]
        if size > 64:
            size += rng.randrange(0, 64)  # sizes of many groups, some shared
        data = bytes(bytearray(data_of(size)))
        data = bytes([g & 255, (g >> 8) & 255]) + data[2:] if size > 2 else data
        for _ in range(rng.randint(2, 5)):
            put(data)
        if size > 2:
            near = bytearray(data)
            near[size // 2] ^= 1
            put(bytes(near))          # same size and ends, other middle
            near = bytearray(data)
            near[-1] ^= 1
            put(bytes(near))          # same size and start, other end
        if g % 10 == 0:
            first = put(data)
            os.link(first, first + ".link")
    for _ in range(files // 400):
        put(b"")
    unique_sizes = [10, 3000, 40000]
    while n < files:
        size = rng.choice(unique_sizes) if rng.random() < 0.5 else int(rng.lognormvariate(7.5, 1.8)) % (2 << 20) + 1
        put(rng.randbytes(size) if size > len(buffer) // 2 else data_of(size)[::-1] + bytes([n & 255]))


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
    """Each installed peer: its command and a reader of the groups it found
    (from the file its standard output went to)."""
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

    def listed(stdout_path):
        with open(stdout_path, "rb") as f:
            return groups_of_lists(f.read().decode())

    found = []
    if shutil.which("jdupes"):
        found.append(("jdupes -r", ["jdupes", "-r", "-q", tree], listed))
    if shutil.which("rdfind"):
        found.append(("rdfind", ["rdfind", "-outputname", os.path.join(work, "results.txt"), tree], rdfind_groups))
    if shutil.which("rmlint"):
        found.append(("rmlint", ["rmlint", "-T", "df", "-o", "json:" + os.path.join(work, "rmlint.json"), tree],
                      rmlint_groups))
    if shutil.which("fdupes"):
        found.append(("fdupes -r", ["fdupes", "-r", "-q", "-n", tree], listed))
    return found


def tree_size(tree):
    count, total = 0, 0
    for dirpath, _, names in os.walk(tree):
        for name in names:
            count += 1
            total += os.lstat(os.path.join(dirpath, name)).st_size
    return count, total


def duplicates_bench(work, tree):
    out = os.path.join(work, "dups.jsonl")
    cmd = [LIST, "--duplicates", "--format", "jsonl", "--output", out, tree]
    stdout = os.path.join(work, "stdout.txt")
    runs = [("tallyfold-list", cmd, None)] + peers(tree, work)
    warm = {}
    for name, command, _ in runs:
        best_of(1, command, cwd=work, stdout_path=stdout)
        warm[name] = best_of(args.repeat, command, cwd=work, stdout_path=stdout)
        if name == "tallyfold-list":
            with open(out) as f:
                mine = drop_links({frozenset(g["paths"]) for g in map(json.loads, f) if "group" in g})
            found = {name: (len(mine), "")}
        else:
            theirs = drop_links(runs[[r[0] for r in runs].index(name)][2](stdout))
            found[name] = (len(theirs), "same groups" if theirs == mine else
                           "groups differ: %d only ours, %d only theirs" % (len(mine - theirs), len(theirs - mine)))
    cold = {}
    if args.cold:
        for name, command, _ in runs:
            if not drop_caches():
                cold = None
                break
            cold[name] = measured(command, cwd=work, stdout_path=stdout)[:2]
    ours, ours_rss = warm["tallyfold-list"]
    print("duplicates: %d files, %.2f GB: tallyfold-list --duplicates %.2f s warm%s, peak %.1f MiB, %d groups"
          % (args.files, args.tree_bytes / 1e9, ours,
             ", %.2f s cold" % cold["tallyfold-list"][0] if cold else "", (ours_rss or 0) / 1024, len(mine)))
    for name, _, _ in runs[1:]:
        t, rss = warm[name]
        line = "  %-10s warm %7.2f s (tallyfold %.2fx)" % (name, t, ours / t)
        if cold:
            line += ", cold %7.2f s (tallyfold %.2fx)" % (cold[name][0], cold["tallyfold-list"][0] / cold[name][0])
        line += ", peak %7.1f MiB (tallyfold %.2fx); %d groups, %s" % (
            (rss or 0) / 1024, ours_rss / rss if rss and ours_rss else 0, found[name][0], found[name][1])
        print(line)
    if cold is None:
        print("  cold cache: not measured, the page cache cannot be dropped here")
    peer_times = [warm[name][0] for name, _, _ in runs[1:]]
    peer_rss = [warm[name][1] for name, _, _ in runs[1:] if warm[name][1]]
    if peer_times:
        cold_ratio = ", %.2fx cold" % (cold["tallyfold-list"][0] / min(cold[name][0] for name, _, _ in runs[1:])) \
            if cold else ""
        print("  goals: time %.2fx the fastest peer warm%s (goal <= 0.70); peak memory %.2fx the leanest (goal <= 1.00)"
              % (ours / min(peer_times), cold_ratio,
                 ours_rss / min(peer_rss) if peer_rss and ours_rss else float("nan")))


def read_all_python(files):
    buffer = bytearray(1 << 20)
    view = memoryview(buffer)
    for path in files:
        fd = os.open(path, os.O_RDONLY)
        try:
            while os.readv(fd, [view]) > 0:
                pass
        finally:
            os.close(fd)


def hash_tree_bench(work, tree):
    out = os.path.join(work, "tree.jsonl")
    hashed = [LIST, "--hash", "--format", "jsonl", "--output", out, tree]
    plain = [LIST, "--format", "jsonl", "--output", out, tree]
    files = []
    for dirpath, _, names in os.walk(tree):
        files.extend(os.path.join(dirpath, n) for n in names)
    listed = os.path.join(work, "files.nul")
    with open(listed, "wb") as f:
        f.write(b"".join(os.fsencode(p) + b"\0" for p in files))
    cat = ["sh", "-c", "xargs -0 -a \"$1\" cat | wc -c", "sh", listed]
    best_of(1, hashed)
    best_of(1, plain)
    read_all_python(files)
    hash_t, plain_t = best_of_each(args.repeat, hashed, plain)
    python_t = None
    for _ in range(args.repeat):
        start = time.perf_counter()
        read_all_python(files)
        t = time.perf_counter() - start
        python_t = t if python_t is None else min(python_t, t)
    cat_t, _ = best_of(args.repeat, cat)
    reference = plain_t + min(python_t, cat_t)
    print("hash of the tree (cached): tallyfold-list --hash %.2f s; plain listing %.2f s + reading every file "
          "once (Python read loop %.2f s, xargs cat | wc -c %.2f s) = %.2f s: %.2fx (goal <= 1.15)"
          % (hash_t, plain_t, python_t, cat_t, reference, hash_t / reference))


def reuse_bench(work, tree):
    files = []
    for dirpath, _, names in os.walk(tree):
        files.extend(os.path.join(dirpath, n) for n in names if not os.path.islink(os.path.join(dirpath, n)))
    files.sort()
    # Stamps are kept only for files that stood still for two seconds.
    time.sleep(2.5)
    earlier = os.path.join(work, "earlier.jsonl")
    subprocess.run([LIST, "--hash", "--format", "jsonl", "--output", earlier, tree], check=True,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    rng = random.Random(11)
    for path in rng.sample(files, len(files) // 100):
        with open(path, "r+b") as f:
            data = f.read()
            f.seek(0)
            f.write(data)
    out = os.path.join(work, "reused.jsonl")
    reused = [LIST, "--hash", "--reuse", earlier, "--format", "jsonl", "--output", out, tree]
    plain = [LIST, "--format", "jsonl", "--output", os.path.join(work, "plain.jsonl"), tree]
    best_of(1, reused)
    best_of(1, plain)
    reuse_t, plain_t = best_of_each(args.repeat, reused, plain)
    full = os.path.join(work, "full.jsonl")
    subprocess.run([LIST, "--hash", "--format", "jsonl", "--output", full, tree], check=True,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    def hashes(path):
        with open(path) as f:
            return {r["path"]: r.get("hash") for r in map(json.loads, f) if r["kind"] == "file"}

    assert hashes(out) == hashes(full), "reused hashes differ from those read"
    print("hash reused after 1%% of %d files changed (cached): tallyfold-list --hash --reuse %.2f s, plain "
          "listing %.2f s: %.2fx (goal <= 1.30); hashes equal a full reading"
          % (len(files), reuse_t, plain_t, reuse_t / plain_t))


def main():
    global args, LIST, PEAK_RSS
    parser = argparse.ArgumentParser()
    parser.add_argument("list")
    parser.add_argument("--work")
    parser.add_argument("--files", type=int, default=200000)
    parser.add_argument("--repeat", type=int, default=1)
    parser.add_argument("--no-large", dest="large", action="store_false")
    parser.add_argument("--no-cold", dest="cold", action="store_false")
    parser.add_argument("--no-duplicates", dest="duplicates", action="store_false")
    args = parser.parse_args()
    LIST = os.path.abspath(args.list)
    candidate = os.path.join(os.path.dirname(LIST), "..", "..", "bench", "listing", "peak_rss")
    PEAK_RSS = os.path.abspath(candidate) if os.access(candidate, os.X_OK) else None
    if not PEAK_RSS:
        print("peak_rss not found beside %s: no peak memory figures" % LIST)
    work = args.work or tempfile.mkdtemp()
    os.makedirs(work, exist_ok=True)
    try:
        if args.large:
            hash_large_bench(work)
        tree = os.path.join(work, "dups%d" % args.files)
        if not os.path.isdir(tree):
            start = time.perf_counter()
            make_dup_tree(tree, args.files, random.Random(7))
            print("tree made in %.0f s" % (time.perf_counter() - start))
        count, args.tree_bytes = tree_size(tree)
        if args.duplicates:
            duplicates_bench(work, tree)
        hash_tree_bench(work, tree)
        reuse_bench(work, tree)
    finally:
        if not args.work:
            shutil.rmtree(work)


main()
