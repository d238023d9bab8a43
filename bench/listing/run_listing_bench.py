#!/usr/bin/env python3
"""Times tallyfold-list against a minimal single-thread lister, du and find on
the same generated trees, in one run, as ratios to that lister; then every
format, and the text report replayed from a saved listing, against the text
report on the larger tree; with --wide N, the time and peak memory of one
folder of N files, with and without an order.

usage: run_listing_bench.py BUILD_DIR [WORK_DIR] [--rounds N] [--wide N] [--baseline TOOL] [--keep]
BUILD_DIR is a native build (Release, no sanitizers) holding
src/app/tallyfold-list and bench/listing/{make_tree,peak_rss,bound_lister}.
The commands take turns round by round, so a change in the machine's load
falls on all of them alike; each figure is the median of its rounds.
--baseline TOOL times another tallyfold-list (an earlier build) beside this
one for every format, in the same rounds.
"""
import os
import shutil
import statistics
import subprocess
import sys
import time

PEAK_RSS = None


def run(cmd):
    """Runs cmd with its output discarded; returns (seconds, processor seconds,
    peak RSS in KiB)."""
    start = time.perf_counter()
    proc = subprocess.run([PEAK_RSS] + cmd, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
    elapsed = time.perf_counter() - start
    if proc.returncode != 0:
        sys.exit(f"failed: {' '.join(cmd)}")
    words = proc.stderr.decode().split()
    return elapsed, float(words[-3]), int(words[-1])


def measure(cmds, rounds):
    """Medians of wall and processor time, and the peak memory, per command."""
    for _, cmd in cmds:
        run(cmd)  # warm the cache
    samples = [[] for _ in cmds]
    for _ in range(rounds):
        for i, (_, cmd) in enumerate(cmds):
            samples[i].append(run(cmd))
    return [(statistics.median(s[0] for s in rows), statistics.median(s[1] for s in rows),
             max(s[2] for s in rows)) for rows in samples]


def main():
    args = [a for a in sys.argv[1:] if not a.startswith("--")]
    rounds = 7
    if "--rounds" in sys.argv:
        rounds = int(sys.argv[sys.argv.index("--rounds") + 1])
        args.remove(str(rounds))
    wide = 0
    if "--wide" in sys.argv:
        wide = int(sys.argv[sys.argv.index("--wide") + 1])
        args.remove(str(wide))
    baseline = None
    if "--baseline" in sys.argv:
        baseline = os.path.abspath(sys.argv[sys.argv.index("--baseline") + 1])
        args.remove(sys.argv[sys.argv.index("--baseline") + 1])
    build = os.path.abspath(args[0])
    work = os.path.abspath(args[1] if len(args) > 1 else os.path.join(build, "listing-bench"))
    tool = os.path.join(build, "src/app/tallyfold-list")
    make_tree = os.path.join(build, "bench/listing/make_tree")
    global PEAK_RSS
    PEAK_RSS = os.path.join(build, "bench/listing/peak_rss")
    os.makedirs(work, exist_ok=True)
    print(f"cores {os.cpu_count()}, load average at start {os.getloadavg()[0]:.1f}, {rounds} rounds")
    report = os.path.join(work, "Tallyfold.txt")
    ours = [tool, "--output", report]
    every = ["--record", "type,size,created,modified"]
    single = ["--read-ahead", "0"]
    for folders, per_folder in ((1000, 20), (10000, 20)):
        root = os.path.join(work, f"tree-{folders}")
        if not os.path.isdir(root):
            subprocess.run([make_tree, root, str(folders), str(per_folder)], check=True)
        cmds = [
            ("lower bound", [os.path.join(build, "bench/listing/bound_lister"), root]),
            ("du -ab", ["du", "-ab", root]),
            ("find -printf", ["find", root, "-printf", "%p %s %TY/%Tm/%Td %TH:%TM\n"]),
            ("tallyfold all four", ours + every + [root]),
            ("  one thread", ours + every + single + [root]),
            ("tallyfold default", ours + [root]),
            ("  one thread", ours + single + [root]),
        ]
        results = measure(cmds, rounds)
        bound, bound_cpu = results[0][0], results[0][1]
        print(f"\n{folders} folders, {folders * per_folder} files, load now {os.getloadavg()[0]:.1f}")
        # On a busy machine the wall time follows the share of the cores a
        # command gets; processor time shows the work it asked for.
        print(f"{'command':>20} {'median s':>9} {'/ bound':>8} {'cpu s':>7} {'/ bound':>8} {'peak KiB':>9}")
        for (name, _), (wall, cpu, peak) in zip(cmds, results):
            print(f"{name:>20} {wall:>9.3f} {wall / bound:>8.2f} {cpu:>7.3f} {cpu / bound_cpu:>8.2f} {peak:>9}")
    # Every format against the text report, same tree, same run; the saved
    # JSON Lines listing (written by the run before) replayed as text.
    formats = [(fmt, [tool, "--format", fmt, "--output", os.path.join(work, "listing." + fmt), root])
               for fmt in ("text", "html", "csv", "jsonl", "ncdu", "explorer")]
    formats.append(("--from", [tool, "--from", os.path.join(work, "listing.jsonl"), "--output",
                               os.path.join(work, "replayed.txt")]))
    if baseline:
        formats += [("base " + fmt, [baseline] + cmd[1:-2] + [cmd[-2] + ".base", cmd[-1]])
                    for fmt, cmd in formats if fmt != "--from"]
    results = measure(formats, rounds)
    print(f"\n{'format':>8} {'s':>8} {'vs text':>8} {'KiB':>8} {'out MB':>8}   ({folders * per_folder} files)")
    for (fmt, cmd), (wall, _, peak) in zip(formats, results):
        size = os.path.getsize(cmd[cmd.index("--output") + 1]) / 1e6
        print(f"{fmt:>8} {wall:>8.3f} {wall / results[0][0]:>8.2f} {peak:>8} {size:>8.1f}")
    if wide:
        # One folder of `wide` files: rows stream unless an order holds them.
        root = os.path.join(work, f"wide-{wide}")
        if not os.path.isdir(root):
            subprocess.run([make_tree, root, "1", str(wide)], check=True)
        cmds = [("no order", ours + [root]), ("--order name", ours + ["--order", "name", root]),
                ("no order, one thread", ours + single + [root])]
        print(f"\none folder of {wide} files")
        for (name, _), (wall, cpu, peak) in zip(cmds, measure(cmds, max(1, rounds // 3))):
            print(f"{name:>22} {wall:>8.3f} s {cpu:>8.3f} cpu s {peak / 1024:>8.1f} MiB peak")
    if "--keep" not in sys.argv:
        shutil.rmtree(work)


if __name__ == "__main__":
    main()
