#!/usr/bin/env python3
"""Compares two generated JSON Lines listings with tallyfold-diff, a folder
and its copy elsewhere, and prints its time and peak memory against the
replay of both listings (each read through, nothing listed) in the same run.

usage: run_diff_bench.py BUILD_DIR [ENTRIES] [--hashes]
BUILD_DIR is a native build (Release) holding src/app/tallyfold-diff,
src/app/tallyfold-list and bench/listing/peak_rss. ENTRIES defaults to
1,000,000 per listing; the copy differs in 1% of its files: 0.25% each
added, removed, changed in size and moved to another folder. With --hashes
every file carries an XXH3-128-like hash (a changed file another one).
"""
import os
import subprocess
import sys
import tempfile
import time

LINE = ('{{"path":"{root}/d{d}/file-{f}.bin","name":"file-{f}.bin","kind":"file","type":"BIN File",'
        '"size":{s},"created":"2026-01-01T00:00:00Z","modified":"2026-01-02T03:04:05Z"{h}}}\n')
HASHES = "--hashes" in sys.argv


def hash_of(size, name):
    return ',"hash":"xxh128:%032x"' % (hash((size, str(name))) & (2**128 - 1)) if HASHES else ""
FOLDER = ('{{"path":"{path}","name":"{name}","kind":"folder","type":"","size":0,'
          '"created":"2026-01-01T00:00:00Z","modified":"2026-01-02T03:04:05Z",'
          '"files":{n},"bytes":{b},"subtree_bytes":{t}}}\n')
PER_FOLDER = 100


def write_listing(path, root, entries, copy):
    folders = entries // (PER_FOLDER + 1)
    grand = 0
    carry = []  # files the copy moved from the folder before
    with open(path, "w") as out:
        for d in range(folders):
            total = files = 0
            arriving, carry = carry, []
            for f, size in arriving:
                out.write(LINE.format(root=root, d=d, f=f, s=size, h=hash_of(size, f)))
                total += size
                files += 1
            for f in range(PER_FOLDER):
                key = d * PER_FOLDER + f
                size = 1000 + key % 977
                if copy and key % 400 == 1:
                    continue  # removed
                if copy and key % 400 == 2:
                    size += 17  # changed
                if copy and key % 400 == 3 and d + 1 < folders:
                    carry.append((f"{f}-of-{d}", size))  # moved; a name of its own there
                    continue
                name = f if not (key % 400 == 3 and d + 1 < folders) else f"{f}-of-{d}"
                out.write(LINE.format(root=root, d=d, f=name, s=size, h=hash_of(size, name)))
                total += size
                files += 1
            if copy and d % 4 == 0:
                out.write(LINE.format(root=root, d=d, f="new-%d" % d, s=5, h=hash_of(5, d)))  # added
                total += 5
                files += 1
            grand += total
            out.write(FOLDER.format(path=f"{root}/d{d}", name=f"d{d}", n=files, b=total, t=total))
        out.write(FOLDER.format(path=root, name=root.rsplit("/", 1)[-1], n=0, b=0, t=grand)[:-2] +
                  (',"hashes":"xxh128"' if HASHES else "") + "}\n")


def main():
    build = os.path.abspath(sys.argv[1])
    numbers = [a for a in sys.argv[2:] if not a.startswith("--")]
    entries = int(numbers[0]) if numbers else 1000000
    diff = os.path.join(build, "src/app/tallyfold-diff")
    lister = os.path.join(build, "src/app/tallyfold-list")
    peak_rss = os.path.join(build, "bench/listing/peak_rss")
    with tempfile.TemporaryDirectory() as work:
        old, new = os.path.join(work, "old.jsonl"), os.path.join(work, "new.jsonl")
        write_listing(old, "/data/Photos", entries, False)
        write_listing(new, "/backup/Photos", entries, True)

        def timed(args, expect):
            start = time.perf_counter()
            proc = subprocess.run([peak_rss] + args, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
            elapsed = time.perf_counter() - start
            if proc.returncode != expect:
                sys.exit(f"{args[0]} exited {proc.returncode}: {proc.stderr.decode()}")
            return elapsed, int(proc.stderr.decode().split()[-1])

        replay = 0.0
        for listing in (old, new):
            # Read through, nothing listed: the filter matches no name.
            seconds, _ = timed([lister, "--from", listing, "--filter", "no such name", "--output",
                                os.path.join(work, "replayed.txt")], 0)
            replay += seconds
        out = os.path.join(work, "changes.txt")
        seconds, rss_kib = timed([diff, "--output", out, old, new], 1)
        with open(out) as f:
            lines = f.read().splitlines()
        inputs_kib = (os.path.getsize(old) + os.path.getsize(new)) // 1024
        print(f"entries per listing {entries}, inputs {inputs_kib} KiB")
        print(f"replay of both {replay:.2f} s; diff {seconds:.2f} s = {seconds / replay:.2f}x the replay")
        print(f"diff peak {rss_kib} KiB ({rss_kib * 1024 / entries:.0f} bytes per entry of a listing)")
        print(lines[-2])


if __name__ == "__main__":
    main()
