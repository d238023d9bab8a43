#!/usr/bin/env python3
"""The exchange formats read by the real tools: the hashdeep audit file
(hashdeep -a) and the mtree specification (mtree -f) pass on the tree they
were made of and fail, naming the file, on a changed one, also on a tree
with every kind of entry (links, a FIFO, a socket, a device, names that are
not UTF-8, a file nobody may read, a line break); the EFU list read by
Python's csv module against the tree.

usage: exports_check.py TALLYFOLD_LIST
"""
import csv
import io
import os
import re
import shutil
import socket
import stat
import subprocess
import sys
import tempfile

LIST = os.path.abspath(sys.argv[1])
EPOCH_TICKS = 116444736000000000


def write(path, data):
    with open(path, "wb") as f:
        f.write(data)


def listing(tree, fmt, out, code=0, cwd=None, user=None, program=None):
    proc = subprocess.run([program or LIST, "--format", fmt, "--output", out, tree], capture_output=True, cwd=cwd,
                          preexec_fn=user)
    assert proc.returncode == code, proc
    return proc.stderr if code else out


def as_nobody():
    if os.getuid() == 0:
        os.setgid(65534)
        os.setuid(65534)


# The README's command: regular files only (a FIFO would block it, a link
# to a file would be a second copy), paths as given.
def hashdeep_audit(known, tree, cwd=None):
    return subprocess.run(["hashdeep", "-o", "f", "-l", "-a", "-vv", "-k", known, "-r", tree], capture_output=True,
                          cwd=cwd, timeout=120)


def make_every_kind(root):
    """Links to a file, to a folder and to nothing, a FIFO, a socket, a
    device where root may make one, names that are not UTF-8, a file nobody
    may read."""
    rb = os.fsencode(root)
    os.makedirs(os.path.join(root, "sub"))
    for name, data in [(b"plain", b"plain\n"), (b"sub/caf\xe9", b"latin-1"), (b"sub/a\xff", b"ff"),
                       (b"sub/a\xfe", b"fe"), (b"locked", b"secret")]:
        write(os.path.join(rb, name), data)
    os.chmod(os.path.join(root, "locked"), 0o600)
    os.symlink("plain", os.path.join(root, "to-file"))
    os.symlink("sub", os.path.join(root, "to-folder"))
    os.symlink(b"no where#\xe9", os.path.join(rb, b"dangling"))
    os.mkfifo(os.path.join(root, "fifo"))
    sock = socket.socket(socket.AF_UNIX)
    sock.bind(os.path.join(root, "sock"))
    sock.close()
    if os.getuid() == 0:
        os.mknod(os.path.join(root, "sub", "null"), stat.S_IFCHR | 0o600, os.makedev(1, 3))
    for dirpath, _, _ in os.walk(root):
        os.chmod(dirpath, 0o755)


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
    ok = hashdeep_audit(known, tree)
    assert ok.returncode == 0 and b"Audit passed" in ok.stdout, ok
    change(tree)
    bad = hashdeep_audit(known, tree)
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


def check_every_kind(work, _):
    """hashdeep from a relative SOURCE and mtree pass on a tree of every
    kind; a file the run cannot read, and a name hashdeep cannot hold, are
    named on stderr (exit 3)."""
    os.chmod(work, 0o755)
    tree = os.path.join(work, "kinds")
    make_every_kind(tree)
    known = listing("kinds", "hashdeep", os.path.join(work, "kinds.hashdeep"), cwd=work)
    ok = hashdeep_audit(known, "kinds", cwd=work)
    assert ok.returncode == 0 and b"Audit passed" in ok.stdout, ok
    spec = listing(tree, "mtree", os.path.join(work, "kinds.mtree"))
    types = dict(re.findall(rb"^\./(\S+) type=(\w+)", read(spec), re.M))
    assert {k: types[k] for k in [b"fifo", b"sock", b"to-file", b"to-folder", b"dangling", b"plain"]} == {
        b"fifo": b"fifo", b"sock": b"socket", b"to-file": b"link", b"to-folder": b"link", b"dangling": b"link",
        b"plain": b"file"}, types
    assert types.get(b"sub/null", b"char") == b"char" and b"sub/caf\\351" in types, types
    ok = subprocess.run(["mtree", "-f", spec, "-p", tree], capture_output=True)
    assert ok.returncode == 0 and ok.stdout == b"", ok
    # The specification holds where each link leads.
    dangling = os.path.join(tree, "dangling")
    os.remove(dangling)
    os.symlink("elsewhere", dangling)
    moved = subprocess.run(["mtree", "-f", spec, "-p", tree], capture_output=True)
    assert moved.returncode != 0 and b"dangling" in moved.stdout + moved.stderr, moved
    os.remove(dangling)
    os.symlink(b"no where#\xe9", os.fsencode(dangling))
    # Listed by a user who may not read one file: it is named, the rest
    # still checks.
    out = os.path.join(work, "nobody")
    os.makedirs(out)
    os.chmod(out, 0o777)
    # The program where that user can reach it, wherever the build is.
    program = shutil.copy2(LIST, os.path.join(out, "tallyfold-list"))
    os.chmod(program, 0o755)
    err = listing(tree, "mtree", os.path.join(out, "kinds.mtree"), code=3, user=as_nobody, program=program)
    assert b"not hashed " + os.path.join(tree, "locked").encode() + b": permission denied" in err, err
    ok = subprocess.run(["mtree", "-f", os.path.join(out, "kinds.mtree"), "-p", tree], capture_output=True)
    assert ok.returncode == 0 and ok.stdout == b"", ok
    # A line break: left out of the audit and said to be; the audit then
    # finds only that file.
    write(os.path.join(tree, "line\nbreak"), b"plain\n...")
    err = listing("kinds", "hashdeep", os.path.join(work, "kinds.hashdeep"), code=3, cwd=work)
    assert b"left out kinds/line?break: a line break in its name" in err, err
    bad = hashdeep_audit(known, "kinds", cwd=work)
    assert b"Audit failed" in bad.stdout and b"New files found: 1" in bad.stdout, bad


def read(path):
    with open(path, "rb") as f:
        return f.read()


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
        for check in [check_hashdeep, check_mtree, check_efu, check_every_kind]:
            tree = os.path.join(work, check.__name__)
            make_tree(tree)
            check(work, tree)
    finally:
        shutil.rmtree(work)
    print("hashdeep, mtree and efu exports, on a tree of every kind too: ok")


main()
