#!/usr/bin/env python3
"""An NTFS image listed from its file table (--volume) against the walk of the
same tree on the local file system and the replay of the listing it wrote,
in one run: file table records read per second (the table alone, nothing
listed), the whole run to JSON Lines as ratios to the walk, and peak memory
per file besides names. Also the counts that bench/listing/VOLUME.md turns
into the work each path does on Windows.

usage: run_volume_bench.py BUILD_DIR [WORK_DIR] [--folders N] [--files-per-folder N] [--rounds N] [--cold]
BUILD_DIR is a native build (Release, no sanitizers) holding
src/app/tallyfold-list and bench/listing/{make_tree,peak_rss}. Needs root,
/dev/fuse, mkntfs and ntfs-3g to make the image. The goal's size is
--folders 10000 --files-per-folder 100. --cold drops the page cache before
each run (it slows everyone on the machine).
"""
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import struct
import time


def option(name, default):
    if name in sys.argv:
        at = sys.argv.index(name)
        value = sys.argv[at + 1]
        del sys.argv[at:at + 2]
        return int(value)
    return default


def table(image):
    """The file table's geometry: cluster and record sizes, its runs
    (first cluster, clusters) and its records."""
    with open(image, "rb") as f:
        boot = f.read(512)
        cluster = struct.unpack_from("<H", boot, 0x0B)[0] * boot[0x0D]
        per = struct.unpack_from("<b", boot, 0x40)[0]
        size = per * cluster if per > 0 else 1 << -per
        f.seek(struct.unpack_from("<Q", boot, 0x30)[0] * cluster)
        record = bytearray(f.read(size))
    fixup(record)
    at = struct.unpack_from("<H", record, 0x14)[0]
    while struct.unpack_from("<I", record, at)[0] != 0x80:
        at += struct.unpack_from("<I", record, at + 4)[0]
    runs, i, lcn = [], at + struct.unpack_from("<H", record, at + 0x20)[0], 0
    while record[i]:
        nl, no = record[i] & 15, record[i] >> 4
        lcn += int.from_bytes(record[i + 1 + nl:i + 1 + nl + no], "little", signed=True)
        runs.append((lcn, int.from_bytes(record[i + 1:i + 1 + nl], "little")))
        i += 1 + nl + no
    return cluster, size, runs, struct.unpack_from("<Q", record, at + 0x30)[0] // size


def fixup(record):
    at, count = struct.unpack_from("<HH", record, 4)
    stride = len(record) // (count - 1)
    for i in range(1, count):
        record[i * stride - 2:i * stride] = record[at + 2 * i:at + 2 * i + 2]


def folder_indexes(image):
    """Folders and the bytes of their index blocks: what a walk reads of the
    volume (each folder's record and its blocks), from the records in use."""
    cluster, size, runs, count = table(image)
    folders = blocks = 0
    with open(image, "rb") as f:
        for lcn, length in runs:
            f.seek(lcn * cluster)
            for _ in range(length * cluster // size):
                record = bytearray(f.read(size))
                if record[:4] != b"FILE" or struct.unpack_from("<H", record, 0x16)[0] & 3 != 3:
                    continue
                fixup(record)
                folders += 1
                at = struct.unpack_from("<H", record, 0x14)[0]
                while at + 8 <= size and struct.unpack_from("<I", record, at)[0] != 0xFFFFFFFF:
                    kind, length_ = struct.unpack_from("<II", record, at)
                    if length_ == 0:
                        break
                    if kind == 0xA0 and record[at + 8]:
                        blocks += struct.unpack_from("<Q", record, at + 0x28)[0]
                    at += length_
    return folders, blocks


def main():
    folders = option("--folders", 2000)
    per_folder = option("--files-per-folder", 100)
    rounds = option("--rounds", 5)
    cold = "--cold" in sys.argv
    args = [a for a in sys.argv[1:] if not a.startswith("--")]
    if not args:
        sys.exit(__doc__)
    build = os.path.abspath(args[0])
    lister = os.path.join(build, "src/app/tallyfold-list")
    make_tree = os.path.join(build, "bench/listing/make_tree")
    peak_rss = os.path.join(build, "bench/listing/peak_rss")
    work = tempfile.mkdtemp(dir=args[1] if len(args) > 1 else None)
    image, mount, local = (os.path.join(work, n) for n in ("volume.img", "mnt", "tree"))
    try:
        files = folders * per_folder
        # Records of 1 KiB, the folders' indexes and room to spare.
        with open(image, "wb") as f:
            f.truncate(max(64 << 20, files * 2048 + folders * 16384))
        subprocess.run(["mkntfs", "-F", "-Q", image], check=True, capture_output=True)
        os.makedirs(mount)
        subprocess.run(["ntfs-3g", image, mount], check=True)
        start = time.perf_counter()
        try:
            subprocess.run([make_tree, os.path.join(mount, "tree"), str(folders), str(per_folder)], check=True)
        finally:
            subprocess.run(["umount", mount], check=True)
        print(f"image of {files:,} files in {folders:,} folders made in {time.perf_counter() - start:.0f} s")
        subprocess.run([make_tree, local, str(folders), str(per_folder)], check=True)

        def run(cmd):
            if cold:
                subprocess.run(["sync"])
                with open("/proc/sys/vm/drop_caches", "w") as f:
                    f.write("3\n")
            start = time.perf_counter()
            proc = subprocess.run([peak_rss, lister] + cmd, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE,
                                  cwd=work)
            elapsed = time.perf_counter() - start
            if proc.returncode != 0:
                sys.exit(f"failed: {' '.join(cmd)}: {proc.stderr.decode()}")
            words = proc.stderr.decode().split()
            return elapsed, float(words[-3]), int(words[-1])

        saved = os.path.join(work, "volume.jsonl")
        cmds = [
            ("walk of the local tree", ["--format", "jsonl", "--output", "walk.jsonl", local]),
            ("volume, table only", ["--volume", image, "--max-depth", "0", "--format", "jsonl", "--output", "top.jsonl"]),
            ("volume, whole listing", ["--volume", image, "--format", "jsonl", "--output", saved]),
            ("walk, one thread", ["--read-ahead", "0", "--format", "jsonl", "--output", "walk.jsonl", local]),
            ("replay of the volume's listing", ["--from", saved, "--format", "jsonl", "--output", "replay.jsonl"]),
        ]
        for _, cmd in cmds:
            if cmd[0] != "--from":
                run(cmd)  # warm, and the listing the replay reads
        samples = [[] for _ in cmds]
        for _ in range(rounds):
            for i, (_, cmd) in enumerate(cmds):
                samples[i].append(run(cmd))
        results = [(statistics.median(s[0] for s in rows), statistics.median(s[1] for s in rows),
                    max(s[2] for s in rows)) for rows in samples]

        records = table(image)[3]
        names = entries = 0
        with open(saved, "rb") as f:
            for line in f:
                entries += 1
                start = line.find(b'"name":"') + 8
                names += line.find(b'"', start) - start
        load = open("/proc/loadavg").read().split()[:3]
        print(f"load average {' '.join(load)}; {rounds} rounds, medians; {'cold' if cold else 'warm'} cache")
        walk = results[0][0]
        for (what, _), (wall, cpu, rss) in zip(cmds, results):
            print(f"  {what:32s} {wall:7.3f} s  ({wall / walk:5.2f}x the walk)  processor {cpu:6.3f} s  "
                  f"peak {rss / 1024:7.1f} MiB")
        alone = results[1]
        print(f"records read per second, table only: {records / alone[1]:,.0f} per processor second, "
              f"{records / alone[0]:,.0f} per second")
        volume = results[2]
        print(f"the volume's listing: {volume[0] / results[4][0]:.2f}x its replay; peak memory "
              f"{volume[2] * 1024 / entries:.0f} bytes per entry, {(volume[2] * 1024 - names * 2) / entries:.0f} "
              f"besides names ({names / entries:.1f} characters a name)")
        indexed, index_bytes = folder_indexes(image)
        print(f"counts for VOLUME.md: {entries:,} entries, {records:,} records, file table {records / 1024:.0f} MiB "
              f"read in order; {indexed:,} folders with {index_bytes / 1048576:.0f} MiB of index blocks "
              f"({index_bytes / 4096 / max(indexed, 1):.1f} blocks of 4 KiB a folder) read folder by folder")
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
