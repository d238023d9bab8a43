#!/usr/bin/env python3
"""A saved JSON Lines listing replayed with --from against direct runs of the
same tree, byte for byte in every format; listings that are not valid; and
the ncdu export read by the disk-usage browsers themselves.

usage: replay_check.py TALLYFOLD_LIST
"""
import json
import os
import shutil
import subprocess
import sys
import tempfile

LIST = os.path.abspath(sys.argv[1])
FORMATS = ["text", "html", "csv", "jsonl", "ncdu"]
# Each walk makes its own saved listing; each set of options is then applied
# both to a direct run and to the replay of that listing.
WALKS = [[], ["--follow-links"]]
OPTIONS = [
    [],
    ["--order", "name", "--record", "type,size,created,modified"],
    ["--order", "size", "--filter", "*.txt;*.DAT", "--exclude", "b"],
    ["--max-depth", "1", "--order", "type"],
    ["--exclude", "locked"],
]


def as_nobody():
    # Root reads every folder: the denied one needs an ordinary user.
    if os.getuid() == 0:
        os.setgid(65534)
        os.setuid(65534)


# One listing time for every run: a saved listing says when it was listed,
# and its replay must still give the bytes of a direct run.
LISTED_AT = "2024-02-29T12:34:56Z"
ENV = dict(os.environ, SOURCE_DATE_EPOCH="1709210096")


def run(args, cwd):
    return subprocess.run([LIST] + args, capture_output=True, cwd=cwd, preexec_fn=as_nobody, env=ENV)


def read(path):
    with open(path, "rb") as f:
        return f.read()


def make_tree(root):
    def write(rel, data=b"x"):
        path = os.path.join(os.fsencode(root), rel)
        with open(path, "wb") as f:
            f.write(data)
    for d in ["a/b", "c", "locked", "e/f/g"]:
        os.makedirs(os.path.join(root, d))
    write(b"one.txt", b"1")
    write(b"a/b/two.DAT", b"hello")
    write(b"c/odd,\"na\r\nme\".txt", b"")
    write(b"c/caf\xe9.txt", b"z" * 3000)
    write(b"e/f/g/deep.txt", b"d" * 70000)
    with open(os.path.join(root, "big.bin"), "wb") as f:
        f.truncate(5 << 30)  # sparse: past 4 GiB
    os.link(os.path.join(root, "one.txt"), os.path.join(root, "hard.txt"))
    os.symlink("../one.txt", os.path.join(root, "a", "to-file"))
    os.symlink("..", os.path.join(root, "a", "up"))
    os.symlink("/no/such/place", os.path.join(root, "dangling"))
    os.chmod(os.path.join(root, "locked"), 0)
    for dirpath, dirnames, _ in os.walk(root):
        os.chmod(dirpath, 0o755 if not dirpath.endswith("locked") else 0)


def check_replays(work, tree):
    failures = []
    for walk in WALKS:
        saved = os.path.join(work, "saved.jsonl")
        proc = run(walk + ["--format", "jsonl", "--output", saved, tree], work)
        assert proc.returncode == 3, proc.stderr  # the locked folder
        assert json.loads(read(saved).split(b"\n")[-2])["listed_at"] == LISTED_AT
        for fmt in FORMATS:
            for opts in OPTIONS:
                args = walk + opts + ["--format", fmt, "--output"]
                direct = run(args + ["direct.out", tree], work)
                replay = run(args + ["replay.out", "--from", saved], work)
                what = " ".join(walk + opts + [fmt])
                if direct.returncode != replay.returncode:
                    failures.append(f"{what}: exit {direct.returncode} vs {replay.returncode}: {replay.stderr}")
                elif read(os.path.join(work, "direct.out")) != read(os.path.join(work, "replay.out")):
                    failures.append(f"{what}: the reports differ")
    assert not failures, "\n".join(failures)
    return saved


def check_invalid(work, saved):
    lines = read(saved).split(b"\n")[:-1]
    assert len(lines) > 8
    outside = json.loads(lines[2])
    outside["path"] = "/elsewhere/" + outside["name"]
    cut = next(i for i in range(5, len(lines)) if json.loads(lines[i - 1])["kind"] != "folder")
    cases = {
        "bad JSON at line 7": (lines[:6] + [b'{"path": oops'] + lines[7:], 7),
        "a path outside the folder read": (lines[:2] + [json.dumps(outside).encode()] + lines[3:], 3),
        "a file cut in the middle": (lines[:-1] + [lines[-1][:20]], len(lines)),
        "a listing without its last records": (lines[:cut], cut),
    }
    report = os.path.join(work, "kept.txt")
    for what, (content, line) in cases.items():
        broken = os.path.join(work, "broken.jsonl")
        with open(broken, "wb") as f:
            f.write(b"\n".join(content) + (b"" if what.endswith("middle") else b"\n"))
        with open(report, "wb") as f:
            f.write(b"an earlier report")
        proc = run(["--output", report, "--from", broken], work)
        assert proc.returncode == 2, (what, proc.returncode, proc.stderr)
        assert f"broken.jsonl:{line}:".encode() in proc.stderr, (what, proc.stderr)
        assert read(report) == b"an earlier report", what
        assert not os.path.exists(report + ".partial"), what

    # A listing that does not say when it was made was made when its file
    # was last written.
    head = json.loads(lines[-1])
    del head["listed_at"]
    undated = os.path.join(work, "undated.jsonl")
    with open(undated, "wb") as f:
        f.write(b"\n".join(lines[:-1] + [json.dumps(head).encode()]) + b"\n")
    os.utime(undated, (1600000000, 1600000000))
    assert run(["--format", "jsonl", "--output", report, "--from", undated], work).returncode in (0, 3)
    assert json.loads(read(report).split(b"\n")[-2])["listed_at"] == "2020-09-13T12:26:40Z"


def subtree_bytes(jsonl, path):
    for line in read(jsonl).split(b"\n"):
        if line:
            record = json.loads(line)
            if record["kind"] == "folder" and record["path"] == path:
                return record["subtree_bytes"]
    raise AssertionError(path)


def check_ncdu(work, tree):
    out = os.path.join(work, "export.json")
    saved = os.path.join(work, "plain.jsonl")
    assert run(["--format", "ncdu", "--output", out, tree], work).returncode == 3
    assert run(["--format", "jsonl", "--output", saved, tree], work).returncode == 3
    expected = subtree_bytes(saved, tree)

    # ncdu reads the file and writes it out again in its own export.
    again = os.path.join(work, "again.json")
    proc = subprocess.run(["ncdu", "-f", out, "-o", again], capture_output=True)
    assert proc.returncode == 0, proc.stderr
    with open(again, "rb") as f:
        data = json.loads(f.read().decode("utf-8", "surrogateescape"))

    def walk(node):
        if isinstance(node, list):
            info = node[0]
            sizes = [walk(child) for child in node[1:]]
            return info.get("asize", 0) + sum(sizes)
        return node.get("asize", 0)
    assert walk(data[3]) == expected, (walk(data[3]), expected)
    c = next(child for child in data[3][1:] if isinstance(child, list) and child[0]["name"] == "c")
    assert "caf\udce9.txt" in [entry["name"] for entry in c[1:]], c  # the name's own bytes
    locked = [c[0] for c in data[3][1:] if isinstance(c, list) and c[0]["name"] == "locked"]
    assert locked and locked[0].get("read_error") is True, locked

    # gdu gives each folder a size of its own: one empty folder tells how much.
    empty = os.path.join(work, "empty.json")
    with open(empty, "w") as f:
        f.write('[1,2,{},[{"name":"/empty"}]]')
    own = int(subprocess.run(["gdu", "-n", "-s", "-a", "--no-prefix", "-f", empty], capture_output=True,
                             check=True).stdout.split()[0])
    folders = sum(1 for line in read(saved).split(b"\n") if line and json.loads(line)["kind"] == "folder")
    total = int(subprocess.run(["gdu", "-n", "-s", "-a", "--no-prefix", "-f", out], capture_output=True,
                               check=True).stdout.split()[0])
    # and it counts a file with several hard links once.
    seen, shared = set(), 0
    for dirpath, _, filenames in os.walk(tree):
        for name in filenames:
            st = os.lstat(os.path.join(dirpath, name))
            if st.st_nlink > 1 and (st.st_dev, st.st_ino) in seen:
                shared += st.st_size
            seen.add((st.st_dev, st.st_ino))
    assert shared > 0
    assert total - own * folders == expected - shared, (total, own, folders, expected, shared)


def reachable_by_nobody(work):
    """The program as the unprivileged user can run it: the build may lie in
    a folder that user may not enter (a clone under /root)."""
    global LIST
    if os.getuid() != 0:
        return
    bin_dir = os.path.join(work, "bin")
    os.mkdir(bin_dir)
    os.chmod(bin_dir, 0o755)
    copy = os.path.join(bin_dir, os.path.basename(LIST))
    shutil.copy2(LIST, copy)
    os.chmod(copy, 0o755)
    LIST = copy
    probe = subprocess.run([LIST, "--version"], capture_output=True, preexec_fn=as_nobody)
    assert probe.returncode == 0, ("the unprivileged user cannot run " + LIST +
                                   " (is the temporary folder's parent closed to it?)", probe.stderr)


def main():
    work = tempfile.mkdtemp()
    try:
        os.chmod(work, 0o777)
        reachable_by_nobody(work)
        tree = os.path.join(work, "tree")
        make_tree(tree)
        saved = check_replays(work, tree)
        check_invalid(work, saved)
        check_ncdu(work, tree)
    finally:
        for dirpath, _, _ in os.walk(work):
            os.chmod(dirpath, 0o755)
        shutil.rmtree(work)
    print("replays, invalid listings and the ncdu export: ok")


main()
