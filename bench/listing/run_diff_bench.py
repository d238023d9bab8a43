#!/usr/bin/env python3
"""Compares two generated JSON Lines listings with tallyfold-diff and prints
its time and peak memory beside the listings' size, in one run.

usage: run_diff_bench.py BUILD_DIR [ENTRIES]
BUILD_DIR is a native build (Release) holding src/app/tallyfold-diff and
bench/listing/peak_rss. ENTRIES defaults to 1,000,000 per listing; the new
listing differs in 1% of its files (size changed, some removed, some added).
"""
import os
import subprocess
import sys
import tempfile
import time

LINE = ('{{"path":"/data/d{d}/file-{f}.bin","name":"file-{f}.bin","kind":"file","type":"BIN File",'
        '"size":{s},"created":"2026-01-01T00:00:00Z","modified":"2026-01-02T03:04:05Z"}}\n')
FOLDER = ('{{"path":"/data/d{d}","name":"d{d}","kind":"folder","type":"","size":0,'
          '"created":"2026-01-01T00:00:00Z","modified":"2026-01-02T03:04:05Z",'
          '"files":{n},"bytes":{b},"subtree_bytes":{b}}}\n')
PER_FOLDER = 100


def write_listing(path, entries, changed):
    with open(path, "w") as out:
        for d in range(entries // (PER_FOLDER + 1)):
            total = 0
            for f in range(PER_FOLDER):
                key = d * PER_FOLDER + f
                if changed and key % 300 == 1:
                    continue  # removed
                size = 1000 + key % 977 + (17 if changed and key % 100 == 0 else 0)
                total += size
                out.write(LINE.format(d=d, f=f, s=size))
            if changed and d % 3 == 0:
                out.write(LINE.format(d=d, f="new", s=5))
                total += 5
            out.write(FOLDER.format(d=d, n=PER_FOLDER, b=total))


def main():
    build = os.path.abspath(sys.argv[1])
    entries = int(sys.argv[2]) if len(sys.argv) > 2 else 1000000
    diff = os.path.join(build, "src/app/tallyfold-diff")
    peak_rss = os.path.join(build, "bench/listing/peak_rss")
    with tempfile.TemporaryDirectory() as work:
        old, new = os.path.join(work, "old.jsonl"), os.path.join(work, "new.jsonl")
        write_listing(old, entries, False)
        write_listing(new, entries, True)
        start = time.perf_counter()
        proc = subprocess.run([peak_rss, diff, old, new], stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
        elapsed = time.perf_counter() - start
        if proc.returncode != 1:
            sys.exit(f"tallyfold-diff exited {proc.returncode}: {proc.stderr.decode()}")
        rss_kib = int(proc.stderr.decode().split()[-1])
        inputs_kib = (os.path.getsize(old) + os.path.getsize(new)) // 1024
        print(f"entries per listing {entries}, inputs {inputs_kib} KiB, time {elapsed:.2f} s, "
              f"peak {rss_kib} KiB ({rss_kib / inputs_kib:.2f} of the inputs, "
              f"{rss_kib * 1024 / entries:.0f} bytes per entry)")


if __name__ == "__main__":
    main()
