#!/usr/bin/env python3
"""A report is whole or not written: a disk that fills in the middle of a
run leaves the earlier report byte for byte and no partial file, in every
format and in a replay; a device, a pipe, standard output and the caller's
own descriptors (/dev/stderr) are written directly (the device stays a
device); a link to a report is followed.

usage: whole_report_check.py TALLYFOLD_LIST
"""
import os
import resource
import shutil
import signal
import stat
import subprocess
import sys
import tempfile
import threading

LIST = os.path.abspath(sys.argv[1])
FORMATS = ["text", "html", "csv", "jsonl", "ncdu", "explorer"]


def run(args, cwd, limit=None):
    def limited():
        # A file size limit fails writes as a full disk does (EFBIG).
        signal.signal(signal.SIGXFSZ, signal.SIG_IGN)
        resource.setrlimit(resource.RLIMIT_FSIZE, (limit, limit))
    return subprocess.run([LIST] + args, capture_output=True, cwd=cwd, stdin=subprocess.DEVNULL,
                          preexec_fn=limited if limit else None)


def read(path):
    with open(path, "rb") as f:
        return f.read()


def make_tree(root):
    # Long names, so every format's report is far larger than the space left.
    for d in range(30):
        folder = os.path.join(root, "folder-%02d" % d)
        os.makedirs(folder)
        for f in range(100):
            with open(os.path.join(folder, "a-rather-long-file-name-%04d-%s.txt" % (f, "x" * 40)), "wb") as out:
                out.write(b"y" * f)


def check_full_disk(folder, tree, saved, how):
    """`folder` fills up (a small file system, or a file size limit)."""
    earlier = bytes(range(256)) * 200  # 50 KiB that no report would write
    report = os.path.join(folder, "report")
    for fmt in FORMATS:
        for source in (["--from", saved], [tree]):
            with open(report, "wb") as f:
                f.write(earlier)
            r = run(["--format", fmt, "--output", report] + source, folder, 120 * 1024 if how == "limit" else None)
            what = (how, fmt, source[0])
            assert r.returncode == 1, (what, r.returncode, r.stderr)
            assert b"cannot write the report" in r.stderr and b"earlier report there is kept" in r.stderr, (what, r.stderr)
            assert read(report) == earlier, what
            assert sorted(os.listdir(folder)) == ["report"], (what, os.listdir(folder))
            assert r.stdout == b"", what


def check_small_file_system(work, tree, saved):
    mount = os.path.join(work, "small")
    os.mkdir(mount)
    if os.getuid() != 0 or subprocess.run(["mount", "-t", "tmpfs", "-o", "size=192k", "tmpfs", mount],
                                          capture_output=True).returncode != 0:
        print("a small file system cannot be mounted here: only the file size limit is tried")
        os.rmdir(mount)
        return
    try:
        check_full_disk(mount, tree, saved, "tmpfs")
    finally:
        subprocess.run(["umount", mount], check=True)
        os.rmdir(mount)


def check_limit(work, tree, saved):
    folder = os.path.join(work, "limited")
    os.mkdir(folder)
    check_full_disk(folder, tree, saved, "limit")
    shutil.rmtree(folder)


def check_direct_targets(work, tree, saved):
    expected_path = os.path.join(work, "expected.csv")
    assert run(["--from", saved, "--format", "csv", "--output", expected_path], work).returncode == 0
    expected = read(expected_path)

    # Standard output: the report itself, no file named "-", no Report line.
    r = run(["--from", saved, "--format", "csv", "--output", "-"], work)
    assert r.returncode == 0 and r.stdout == expected, r.stderr
    assert not os.path.exists(os.path.join(work, "-"))

    # A pipe is written, not replaced.
    fifo = os.path.join(work, "pipe")
    os.mkfifo(fifo)
    got = []
    reader = threading.Thread(target=lambda: got.append(read(fifo)))
    reader.start()
    r = run(["--from", saved, "--format", "csv", "--output", fifo], work)
    reader.join(60)
    assert r.returncode == 0 and got == [expected], (r.stderr, len(got))
    assert stat.S_ISFIFO(os.lstat(fifo).st_mode)

    # A device node of our own (root only) stays a device, in a replay and
    # in a direct run.
    device = os.path.join(work, "null-device")
    try:
        os.mknod(device, 0o666 | stat.S_IFCHR, os.makedev(1, 3))
    except PermissionError:
        print("no device node can be made here: the device case is not tried")
    else:
        for source in (["--from", saved], [tree]):
            r = run(source + ["--output", device], work)
            assert r.returncode == 0, r.stderr
            assert stat.S_ISCHR(os.lstat(device).st_mode), "the device was replaced"
            assert not [n for n in os.listdir(work) if n.startswith("null-device.")]

    # The caller's own descriptors, redirected to a file that holds text
    # already: written where they stand, never replaced, so that what the
    # shell and the program write there after is kept in the same file.
    log = os.path.join(work, "log.txt")
    for output, errors in (("/dev/stdout", "/dev/stderr"), ("/dev/fd/1", "/proc/self/fd/2")):
        with open(log, "wb") as f:
            f.write(b"before\n")
        inode = os.stat(log).st_ino
        with open(log, "ab") as f:
            r = subprocess.run([LIST, "--format", "csv", "--output", output, "--errors", errors, tree],
                               stdout=f, stderr=f, cwd=work, stdin=subprocess.DEVNULL)
        got = read(log)
        assert r.returncode == 0 and os.stat(log).st_ino == inode, (output, r.returncode, got[-300:])
        assert got.startswith(b"before\n" + expected.splitlines(True)[0]), (output, got[:200])
        assert got.endswith(b"Skipped: 0\n") and b"Report: " + output.encode() in got, (output, got[-300:])
        assert not [n for n in os.listdir(work) if n.startswith("log.txt.")]

    # A link to a report: the report it leads to is replaced, the link stays.
    real = os.path.join(work, "real.csv")
    link = os.path.join(work, "link.csv")
    with open(real, "wb") as f:
        f.write(b"earlier")
    os.symlink("real.csv", link)
    assert run(["--from", saved, "--format", "csv", "--output", link], work).returncode == 0
    assert os.path.islink(link) and read(real) == expected


def main():
    work = tempfile.mkdtemp()
    try:
        tree = os.path.join(work, "tree")
        make_tree(tree)
        saved = os.path.join(work, "saved.jsonl")
        r = run(["--format", "jsonl", "--output", saved, tree], work)
        assert r.returncode == 0, r.stderr
        check_limit(work, tree, saved)
        check_small_file_system(work, tree, saved)
        check_direct_targets(work, tree, saved)
    finally:
        shutil.rmtree(work)
    print("whole reports: ok")


main()
