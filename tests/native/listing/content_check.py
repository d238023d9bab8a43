#!/usr/bin/env python3
"""File content: --hash against Python's hashlib (SHA-256) and the xxhsum
tool (XXH3-128) on a tree with odd files; the replay of a hashed listing
against direct runs; hashed listings that are not valid; --duplicates
against groups found by brute force; tallyfold-diff on hashed listings of a
copy whose content changed under the same size and time.

usage: content_check.py TALLYFOLD_LIST TALLYFOLD_DIFF
"""
import csv
import hashlib
import io
import json
import os
import shutil
import stat
import subprocess
import sys
import tempfile

LIST = os.path.abspath(sys.argv[1])
DIFF = os.path.abspath(sys.argv[2])


def as_nobody():
    # Root reads every file: the unreadable one needs an ordinary user.
    if os.getuid() == 0:
        os.setgid(65534)
        os.setuid(65534)


# A direct run and the replay of a listing made a second earlier say the
# same listing time only when it is pinned.
ENV = dict(os.environ, SOURCE_DATE_EPOCH="1709210096")


def run(args, cwd):
    return subprocess.run([LIST] + args, capture_output=True, cwd=cwd, preexec_fn=as_nobody, timeout=600, env=ENV)


def read(path):
    with open(path, "rb") as f:
        return f.read()


def write(path, data):
    with open(path, "wb") as f:
        f.write(data)


def records(path):
    return [json.loads(line) for line in read(path).decode("utf-8").splitlines()]


def make_tree(root):
    """Files of sizes around the hashes' block edges, a name that is not
    UTF-8, a hard link, a link, a FIFO and a file nobody may read."""
    rb = os.fsencode(root)
    os.makedirs(os.path.join(root, "sub", "deep"))
    sizes = [0, 1, 63, 64, 240, 241, 4095, 4096, 8192, 8193, 65537, 262144, 262145, 1 << 20]
    for n in sizes:
        write(os.path.join(root, "sub" if n % 2 else "", "f%d.bin" % n), os.urandom(n))
    write(os.path.join(rb, b"sub", b"deep", b"caf\xe9.txt"), b"latin-1 name")
    os.link(os.path.join(root, "f4096.bin"), os.path.join(root, "sub", "hard.bin"))
    os.symlink("f8192.bin", os.path.join(root, "link.bin"))
    os.mkfifo(os.path.join(root, "pipe"))
    write(os.path.join(root, "locked.bin"), b"secret")
    os.chmod(os.path.join(root, "locked.bin"), 0)
    for dirpath, _, _ in os.walk(root):
        os.chmod(dirpath, 0o755)


def regular_files(root):
    """Path (bytes) to content of every regular file the run can read."""
    out = {}
    for dirpath, _, names in os.walk(os.fsencode(root)):
        for name in names:
            p = os.path.join(dirpath, name)
            st = os.lstat(p)
            if stat.S_ISREG(st.st_mode) and st.st_mode & 0o004:
                out[p] = read(p)
    return out


def path_of(record):
    if "path_bytes" in record:
        return unescape(record["path_bytes"])
    return os.fsencode(record["path"])


def unescape(text):
    out, i = bytearray(), 0
    raw = text.encode("utf-8")
    while i < len(raw):
        if raw[i:i + 1] == b"%":
            out.append(int(raw[i + 1:i + 3], 16))
            i += 3
        else:
            out.append(raw[i])
            i += 1
    return bytes(out)


def check_sha256(work, tree):
    out = os.path.join(work, "sha.jsonl")
    proc = run(["--hash", "sha256", "--format", "jsonl", "--output", out, tree], work)
    assert proc.returncode == 3, proc  # the locked file
    assert b"Unread: 1" in proc.stderr and b"locked.bin" in proc.stderr, proc.stderr
    expected = {p: "sha256:" + hashlib.sha256(d).hexdigest() for p, d in regular_files(tree).items()}
    got, unhashed = {}, {}
    for r in records(out):
        if r["kind"] == "file" and "hash" in r:
            got[path_of(r)] = r["hash"]
        if "unhashed" in r:
            unhashed[os.path.basename(path_of(r))] = r["unhashed"]
        if r["kind"] == "link":
            assert "hash" not in r and "unhashed" not in r, r
    assert got == expected, set(got.items()) ^ set(expected.items())
    assert unhashed == {b"locked.bin": "permission denied", b"pipe": "not a regular file"}, unhashed
    assert records(out)[-1]["hashes"] == "sha256"
    return out


def check_xxh128(work, tree):
    """XXH3-128 in CSV, a sparse file past 4 GiB included, against xxhsum."""
    sparse = os.path.join(tree, "sparse")
    os.mkdir(sparse)
    os.chmod(sparse, 0o755)
    with open(os.path.join(sparse, "big.bin"), "wb") as f:
        f.truncate(5 << 30)
    try:
        out = os.path.join(work, "xxh.csv")
        proc = run(["--hash", "--format", "csv", "--output", out, tree], work)
        assert proc.returncode == 3, proc
        rows = list(csv.DictReader(io.StringIO(read(out).decode("utf-8"), newline="")))
        got = {os.fsencode(r["path"]): r["hash"] for r in rows if r["hash"] and "\ufffd" not in r["path"]}
        paths = sorted(p for p in regular_files(tree) if b"\xe9" not in p)
        sums = subprocess.run(["xxhsum", "-H2", "--"] + paths, capture_output=True, check=True).stdout
        expected = {}
        for line in sums.splitlines():
            digest, name = line.split(b"  ", 1)
            expected[name] = "xxh128:" + digest.decode()
        assert got == expected, set(got.items()) ^ set(expected.items())
        assert got[os.fsencode(os.path.join(sparse, "big.bin"))].startswith("xxh128:")
    finally:
        shutil.rmtree(sparse)


def check_replay(work, tree):
    """A hashed listing replayed is what a direct run writes, byte for byte."""
    saved = os.path.join(work, "saved.jsonl")
    assert run(["--hash", "--format", "jsonl", "--output", saved, tree], work).returncode == 3
    for fmt in ["jsonl", "csv", "text"]:
        for opts in [[], ["--order", "size", "--exclude", "deep"]]:
            direct = run(["--hash"] + opts + ["--format", fmt, "--output", "direct.out", tree], work)
            replay = run(opts + ["--format", fmt, "--output", "replay.out", "--from", saved], work)
            assert (direct.returncode, direct.stderr) == (replay.returncode, replay.stderr), (fmt, opts, replay)
            assert read(os.path.join(work, "direct.out")) == read(os.path.join(work, "replay.out")), (fmt, opts)
    # Asked for hashes the listing does not carry.
    proc = run(["--hash", "sha256", "--output", "x.txt", "--from", saved], work)
    assert proc.returncode == 2 and b"no sha256 hashes" in proc.stderr, proc
    return saved


def check_invalid(work, saved):
    """A hash that is not one, a file without either field: FILE:LINE."""
    lines = read(saved).decode("utf-8").splitlines(keepends=True)
    target = next(i for i, l in enumerate(lines) if '"hash":"xxh128:' in l)
    digest = json.loads(lines[target])["hash"]
    cases = {
        "short": lines[target].replace(digest, digest[:-1]),
        "upper": lines[target].replace(digest, digest.upper().replace("XXH128", "xxh128")),
        "other": lines[target].replace(digest, "sha256:" + digest[7:]),
        "missing": lines[target].replace(',"hash":"%s"' % digest, ""),
        "reason": lines[target].replace('"hash":"%s"' % digest, '"unhashed":"tired"'),
    }
    for what, line in cases.items():
        bad = os.path.join(work, "bad-%s.jsonl" % what)
        write(bad, "".join(lines[:target] + [line] + lines[target + 1:]).encode("utf-8"))
        if os.path.exists(os.path.join(work, "out.txt")):
            os.remove(os.path.join(work, "out.txt"))
        proc = run(["--output", "out.txt", "--from", bad], work)
        assert proc.returncode == 2, (what, proc)
        assert ("%s:%d:" % (bad, target + 1)).encode() in proc.stderr, (what, proc.stderr)
        assert not os.path.exists(os.path.join(work, "out.txt")), what


def brute_force_groups(root, empty):
    by_content = {}
    seen = set()
    for p, data in sorted(regular_files(root).items()):
        st = os.lstat(p)
        if (st.st_dev, st.st_ino) in seen or (not data and not empty):
            continue
        seen.add((st.st_dev, st.st_ino))
        by_content.setdefault(data, []).append(p)
    return {frozenset(ps) for ps in by_content.values() if len(ps) > 1}


def check_duplicates(work):
    """Planted groups: whole copies, files of one size that differ only in
    the middle or only at an end, hard links, empty files."""
    tree = os.path.join(work, "dups")
    for d in ["a", "b/c", "d"]:
        os.makedirs(os.path.join(tree, d))
    big = os.urandom(300000)
    middle = bytearray(big)
    middle[150000] ^= 1
    end = bytearray(big)
    end[-1] ^= 1
    files = {"a/big1": big, "b/big2": big, "b/c/big3": big, "d/middle": bytes(middle), "a/end": bytes(end),
             "d/end-copy": bytes(end), "a/small": b"same", "b/small": b"same", "d/other": b"diff",
             "a/empty": b"", "b/empty": b"", "d/solo": os.urandom(5000)}
    for rel, data in files.items():
        write(os.path.join(tree, rel), data)
    os.link(os.path.join(tree, "a", "big1"), os.path.join(tree, "d", "big1-link"))
    # Listed after big3 by name order, which ignores case; first in byte order.
    os.link(os.path.join(tree, "b", "c", "big3"), os.path.join(tree, "b", "c", "Big3-link"))
    # More files of one size than are kept open between their two readings.
    many = os.urandom(70000)
    os.makedirs(os.path.join(tree, "many"))
    for i in range(300):
        write(os.path.join(tree, "many", "m%03d" % i), many if i % 100 else many[:35000] + b"x" + many[35001:])
    for dirpath, _, _ in os.walk(tree):
        os.chmod(dirpath, 0o755)

    def groups(args, piped=None):
        out = os.path.join(work, "dups.jsonl")
        if piped is None:
            proc = run(args + ["--format", "jsonl", "--output", out], work)
        else:  # the listing comes through a pipe, which can be read only once
            proc = subprocess.run([LIST] + args + ["--format", "jsonl", "--output", out], input=read(piped),
                                  capture_output=True, cwd=work, timeout=600, env=ENV)
        assert proc.returncode == 0, proc
        found = set()
        for g in records(out):
            if "group" not in g:
                assert g == {"groups": len(found), "files": g["files"], "wasted": g["wasted"], "unread": 0}, g
                continue
            paths = [os.fsencode(p) for p in g["paths"]]
            assert g["count"] == len(paths) and g["wasted"] == g["size"] * (len(paths) - 1), g
            assert all(not os.path.exists(p) or os.path.getsize(p) == g["size"] for p in paths), g
            found.add(frozenset(paths))
        return found

    for empty in [False, True]:
        flags = ["--empty-files"] if empty else []
        expected = brute_force_groups(tree, empty)
        assert groups(["--duplicates"] + flags + [tree]) == expected, empty
        assert groups(["--duplicates", "--order", "name"] + flags + [tree]) == expected, empty
    shutil.rmtree(os.path.join(tree, "many"))
    # From a listing that carries hashes: nothing is read again.
    saved = os.path.join(work, "dups-saved.jsonl")
    assert run(["--hash", "--format", "jsonl", "--output", saved, tree], work).returncode == 0
    os.rename(os.path.join(tree, "a"), os.path.join(tree, "gone"))
    expected = {frozenset(os.fsencode(os.path.join(tree, p)) for p in g)
                for g in [["a/big1", "b/big2", "b/c/Big3-link"], ["a/end", "d/end-copy"], ["a/small", "b/small"]]}
    assert groups(["--duplicates", "--from", saved]) == expected
    assert groups(["--duplicates", "--from", "/dev/stdin"], piped=saved) == expected
    # CSV: one row per path, the same groups.
    out = os.path.join(work, "dups.csv")
    assert run(["--duplicates", "--format", "csv", "--output", out, "--from", saved], work).returncode == 0
    rows = list(csv.DictReader(io.StringIO(read(out).decode("utf-8"), newline="")))
    assert sorted(r["group"] for r in rows) == ["1", "1", "1", "2", "2", "3", "3"], rows


def jdupes_groups(tree):
    """The groups jdupes finds, run as the same user, as sets of files
    (device and inode: it may name several links of one file)."""
    proc = subprocess.run(["jdupes", "-r", "-0", "-q", tree], capture_output=True, preexec_fn=as_nobody)
    return {frozenset(os.lstat(p)[1:3] for p in g.split(b"\0") if p)
            for g in proc.stdout.split(b"\0\0") if g.strip(b"\0")} - {frozenset()}


def as_files(groups):
    return {frozenset(os.lstat(p)[1:3] for p in g) for g in groups}


def check_duplicates_every_kind(work):
    """A tree with links, a FIFO, a hard link, a copy nobody may read, a
    line break and names that differ only in bytes that are not UTF-8:
    the groups jdupes finds, every name exact, the unread copy named and
    counted in every form (exit 3)."""
    tree = os.path.join(work, "kinds")
    tb = os.fsencode(tree)
    os.makedirs(os.path.join(tree, "sub"))
    same, other = os.urandom(20000), os.urandom(300)
    for name, data in [(b"one", same), (b"sub/two", same), (b"line\nbreak", same), (b"c\xff", same),
                       (b"c\xfe", same), (b"locked", same), (b"x1", other), (b"sub/x2", other), (b"e1", b""),
                       (b"e2", b"")]:
        write(os.path.join(tb, name), data)
    os.chmod(os.path.join(tree, "locked"), 0)
    os.link(os.path.join(tree, "one"), os.path.join(tree, "sub", "hard"))
    os.symlink("one", os.path.join(tree, "lnk"))
    os.symlink("sub", os.path.join(tree, "dirlink"))
    os.mkfifo(os.path.join(tree, "fifo"))
    for dirpath, _, _ in os.walk(tree):
        os.chmod(dirpath, 0o755)

    def report(fmt, extra=()):
        out = os.path.join(work, "kinds." + fmt)
        proc = run(["--duplicates", "--format", fmt, "--output", out] + list(extra) + [tree], work)
        assert proc.returncode == 3, proc
        return read(out), proc.stderr

    locked = os.path.join(tree, "locked").encode()
    data, err = report("jsonl")
    assert b"not compared " + locked + b": permission denied" in err, err
    lines = [json.loads(line) for line in data.decode("utf-8").splitlines()]
    found = set()
    for g in (r for r in lines if "group" in r):
        exact = g.get("path_bytes", g["paths"])
        assert len(exact) == len(g["paths"]) and all(os.fsencode(p) == unescape(b) or "%" in b
                                                      for p, b in zip(g["paths"], exact)), g
        found.add(frozenset(unescape(b) for b in exact))
    assert as_files(found) == jdupes_groups(tree), (found, jdupes_groups(tree))
    assert {tb + b"/c\xff", tb + b"/c\xfe", tb + b"/line\nbreak"} < max(found, key=len), found
    assert [r for r in lines if "unread" in r and "group" not in r and "groups" not in r] == [
        {"unread": "permission denied", "size": 20000, "path": locked.decode()}], lines
    assert lines[-1] == {"groups": 2, "files": 7, "wasted": 4 * 20000 + 300, "unread": 1}, lines[-1]
    data, _ = report("csv")
    rows = list(csv.DictReader(io.StringIO(data.decode("utf-8"), newline="")))
    assert [(r["path"], r["size"]) for r in rows if r["group"] == "unread"] == [(locked.decode(), "20000")], rows
    assert {unescape(r["path_bytes"]) for r in rows if r["path_bytes"]} == {tb + b"/c\xff", tb + b"/c\xfe"}, rows
    # The text escapes control characters; the error list takes the name.
    errors = os.path.join(work, "kinds-errors.txt")
    data, err = report("text", ["--errors", errors])
    assert b"  " + tb + b"/line^Jbreak\n" in data and b"line\nbreak" not in data, data
    assert data.endswith(b"Groups: 2  Files: 7  Wasted: 80300 bytes  Unread: 1\n"), data
    assert read(errors) == b"permission denied\t" + locked + b"\n" and locked not in err, err
    # From a listing without hashes whose folder is gone: an error, no report.
    saved = os.path.join(work, "kinds.jsonl")
    assert run(["--format", "jsonl", "--output", saved, tree], work).returncode == 0
    shutil.rmtree(tree)
    gone = run(["--duplicates", "--output", os.path.join(work, "gone.txt"), "--from", saved], work)
    assert gone.returncode == 2 and b"carries no hashes and the folder it lists is not there" in gone.stderr, gone
    assert not os.path.exists(os.path.join(work, "gone.txt"))


def check_own_report(work):
    """A report written inside the folder it lists is not in it, nor its
    partial file; an earlier report there is."""
    tree = os.path.join(work, "own")
    os.makedirs(tree)
    os.chmod(tree, 0o777)
    write(os.path.join(tree, "a"), b"a")
    for fmt, files in [("jsonl", b"Files: 1 "), ("csv", b"Files: 2 ")]:
        proc = run(["--format", fmt, "--output", "listing." + fmt, "."], tree)
        assert proc.returncode == 0 and files in proc.stderr, proc
        assert b"listing." + fmt.encode() not in read(os.path.join(tree, "listing." + fmt)), fmt


def check_diff(work):
    """A copy with one file's bytes changed under its size and time, and one
    moved and changed the same way: only hashes tell."""
    old, new = os.path.join(work, "orig"), os.path.join(work, "copy")
    for root in [old, new]:
        os.makedirs(os.path.join(root, "d"))
    files = {"same.bin": os.urandom(5000), "d/changed.bin": os.urandom(9000), "moved.bin": os.urandom(700),
             "really-moved.bin": os.urandom(800)}
    for rel, data in files.items():
        write(os.path.join(old, rel), data)
        target = {"moved.bin": "d/moved.bin", "really-moved.bin": "d/really-moved.bin"}.get(rel, rel)
        if rel in ("d/changed.bin", "moved.bin"):
            data = bytes([data[0] ^ 1]) + data[1:]
        write(os.path.join(new, target), data)
        st = os.stat(os.path.join(old, rel))
        os.utime(os.path.join(new, target), ns=(st.st_atime_ns, st.st_mtime_ns))

    def listing(root, name, extra):
        out = os.path.join(work, name)
        assert run(extra + ["--format", "jsonl", "--output", out, root], work).returncode == 0
        return out

    plain = subprocess.run([DIFF, listing(old, "o.jsonl", []), listing(new, "n.jsonl", [])], capture_output=True)
    assert plain.returncode == 1 and b"!" not in plain.stdout, plain  # the move of moved.bin only
    assert b"> moved.bin -> d/moved.bin" in plain.stdout, plain.stdout
    for algorithm in ["xxh128", "sha256"]:
        a = listing(old, "ho.jsonl", ["--hash", algorithm])
        b = listing(new, "hn.jsonl", ["--hash", algorithm])
        proc = subprocess.run([DIFF, "--format", "jsonl", a, b], capture_output=True)
        assert proc.returncode == 1, proc
        changes = [json.loads(line) for line in proc.stdout.decode().splitlines()]
        got = sorted((c["change"], c.get("path"), c.get("from")) for c in changes
                     if c["change"] not in ("summary", "total", "folder"))
        assert got == [("added", "d/moved.bin", None), ("content", "d/changed.bin", None),
                       ("moved", "d/really-moved.bin", "really-moved.bin"),
                       ("removed", "moved.bin", None)], got
        summary = next(c for c in changes if c["change"] == "summary")
        assert summary["content_changed_files"] == 1 and summary["content_changed_bytes"] == 9000, summary
        same = subprocess.run([DIFF, a, a], capture_output=True)
        assert same.returncode == 0, same
    # Hashes of different kinds, or on one side only, compare as no hashes
    # at all, and the tool says that contents were not compared.
    plain_err = plain.stderr
    assert b"not compared" not in plain_err, plain_err
    for old_hash, new_hash, said in [("xxh128", "sha256", b"old listing carries xxh128 hashes, the new one sha256"),
                                     (None, "sha256", b"old listing carries no hashes, the new one sha256")]:
        mixed = subprocess.run([DIFF, listing(old, "mo.jsonl", ["--hash", old_hash] if old_hash else []),
                                listing(new, "mn.jsonl", ["--hash", new_hash])], capture_output=True)
        assert mixed.returncode == 1 and b"changed.bin" not in mixed.stdout, mixed
        assert b"contents not compared: the " + said in mixed.stderr, mixed.stderr


def main():
    work = tempfile.mkdtemp()
    try:
        os.chmod(work, 0o777)
        if os.getuid() == 0:
            # The program as the unprivileged user can reach it.
            bin_dir = os.path.join(work, "bin")
            os.mkdir(bin_dir)
            os.chmod(bin_dir, 0o755)
            global LIST
            LIST = shutil.copy2(LIST, os.path.join(bin_dir, os.path.basename(LIST)))
            os.chmod(LIST, 0o755)
        tree = os.path.join(work, "tree")
        make_tree(tree)
        check_sha256(work, tree)
        check_xxh128(work, tree)
        saved = check_replay(work, tree)
        check_invalid(work, saved)
        check_duplicates(work)
        check_duplicates_every_kind(work)
        check_own_report(work)
        check_diff(work)
    finally:
        for dirpath, _, _ in os.walk(work):
            os.chmod(dirpath, 0o755)
        shutil.rmtree(work)
    print("hashes, their replay, bad hashed listings and duplicates: ok")


main()
