#!/usr/bin/env python3
"""Times tallyfold-list against find on the same generated trees, in one run,
and its CSV and JSON Lines listings against its text report on the larger tree.

usage: run_listing_bench.py BUILD_DIR [WORK_DIR]
BUILD_DIR is a native build (Release, no sanitizers) holding
src/app/tallyfold-list and bench/listing/{make_tree,peak_rss}.
"""
import os
import shutil
import subprocess
import sys
import time

ROUNDS = 5


PEAK_RSS = None


def run(cmd):
    """Runs cmd with its output discarded; returns (seconds, peak RSS in KiB)."""
    start = time.perf_counter()
    proc = subprocess.run([PEAK_RSS] + cmd, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
    elapsed = time.perf_counter() - start
    if proc.returncode != 0:
        sys.exit(f"failed: {' '.join(cmd)}")
    return elapsed, int(proc.stderr.decode().split()[-1])


def best_of(cmd):
    results = [run(cmd) for _ in range(ROUNDS)]
    return min(r[0] for r in results), max(r[1] for r in results)


def main():
    build = os.path.abspath(sys.argv[1])
    work = os.path.abspath(sys.argv[2] if len(sys.argv) > 2 else os.path.join(build, "listing-bench"))
    tool = os.path.join(build, "src/app/tallyfold-list")
    make_tree = os.path.join(build, "bench/listing/make_tree")
    global PEAK_RSS
    PEAK_RSS = os.path.join(build, "bench/listing/peak_rss")
    os.makedirs(work, exist_ok=True)
    print(f"{'tree':>18} {'files':>8} {'tallyfold s':>12} {'find s':>8} {'ratio':>6} "
          f"{'tallyfold KiB':>14} {'find KiB':>9}")
    for folders, per_folder in ((1000, 20), (10000, 20)):
        root = os.path.join(work, f"tree-{folders}")
        if not os.path.isdir(root):
            subprocess.run([make_tree, root, str(folders), str(per_folder)], check=True)
        report = os.path.join(work, "Tallyfold.txt")
        ours = [tool, "--record", "type,size,created,modified", "--output", report, root]
        find = ["find", root, "-printf", "%p %s %TY/%Tm/%Td %TH:%TM\n"]
        run(ours), run(find)  # warm the cache for both
        t_ours, m_ours = best_of(ours)
        t_find, m_find = best_of(find)
        print(f"{f'{folders} folders':>18} {folders * per_folder:>8} {t_ours:>12.3f} {t_find:>8.3f} "
              f"{t_ours / t_find:>6.2f} {m_ours:>14} {m_find:>9}")
    # The machine-readable formats against the text report, same tree, same run.
    print(f"\n{'format':>8} {'s':>8} {'vs text':>8} {'KiB':>8}   ({folders * per_folder} files)")
    times = {}
    for fmt in ("text", "csv", "jsonl"):
        cmd = [tool, "--format", fmt, "--output", os.path.join(work, "listing." + fmt), root]
        run(cmd)
        times[fmt] = best_of(cmd)
        print(f"{fmt:>8} {times[fmt][0]:>8.3f} {times[fmt][0] / times['text'][0]:>8.2f} {times[fmt][1]:>8}")
    if "--keep" not in sys.argv:
        shutil.rmtree(work)


if __name__ == "__main__":
    main()
