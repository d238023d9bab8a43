#!/usr/bin/env python3
"""tallyfold-diff against a comparison written here from the listings alone:
a folder and its changed copy at another place (relative paths), moved files,
a renamed folder, names that differ only in bytes that are not UTF-8, a file
turned into a folder, new and gone folders as one item; then a Windows-style
listing of the same tree, and listings that are not valid.

usage: compare_check.py TALLYFOLD_LIST TALLYFOLD_DIFF
"""
import json
import os
import random
import shutil
import subprocess
import sys
import tempfile

LIST, DIFF = sys.argv[1], sys.argv[2]
ORDER = ["added", "removed", "changed", "moved", "folder"]


def run(*args):
    return subprocess.run(list(args), capture_output=True, stdin=subprocess.DEVNULL)


def write(path, data, mtime=None):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)
    if mtime:
        os.utime(path, (mtime, mtime))


def save(tree, out):
    r = run(LIST, "--format", "jsonl", "--output", out, tree)
    assert r.returncode == 0, r.stderr


def load(listing):
    """{key: record} relative to the source, and the source's separator."""
    records = [json.loads(line) for line in open(listing, "rb").read().split(b"\n") if line]

    def raw(r, field):
        return bytes_of(r[field + "_bytes"]) if field + "_bytes" in r else r[field].encode()

    source = raw(records[-1], "path")
    sep = b"\\" if source[1:2] == b":" else b"/"
    entries = {}
    for r in records:
        path = raw(r, "path")
        rel = b"" if path == source else path[len(source) + (0 if source.endswith(sep) else 1):]
        key = rel.replace(b"\\", b"/") if sep == b"\\" else rel
        size = r["subtree_bytes"] if r["kind"] == "folder" else r["size"]
        entries[key] = {"kind": r["kind"], "size": size, "modified": r["modified"], "rel": rel}
    return entries


def parent(key):
    return key.rsplit(b"/", 1)[0] if b"/" in key else b""


def name(key):
    return key.rsplit(b"/", 1)[-1]


def inside(key, folder):
    return key.startswith(folder + b"/")


def reference(old, new):
    """The comparison, worked out from the two listings by brute force."""
    items = []
    for k in sorted(old.keys() & new.keys()):
        a, b = old[k], new[k]
        if a["kind"] != b["kind"]:
            continue
        if a["kind"] == "folder":
            if a["size"] != b["size"]:
                items.append(("folder", k, None, a["size"], b["size"]))
        elif (a["size"], a["modified"]) != (b["size"], b["modified"]):
            items.append(("changed", k, None, a["size"], b["size"]))
    added = sorted(k for k in new if k not in old or old[k]["kind"] != new[k]["kind"])
    removed = sorted(k for k in old if k not in new or old[k]["kind"] != new[k]["kind"])

    def content(side, folder):
        return frozenset((k[len(folder) + 1:], e["kind"], None if e["kind"] == "folder" else (e["size"], e["modified"]))
                         for k, e in side.items() if inside(k, folder))

    consumed_new, consumed_old = set(), set()
    new_folders = [k for k in added if new[k]["kind"] == "folder" and content(new, k)]
    new_folders.sort(key=lambda k: -new[k]["size"])  # stable: path order among equals
    for k in new_folders:
        if k in consumed_new:
            continue
        c = content(new, k)
        match = next((g for g in removed if g not in consumed_old and old[g]["kind"] == "folder" and content(old, g) == c), None)
        if match is None:
            continue
        consumed_new |= {k} | {x for x in added if inside(x, k)}
        consumed_old |= {match} | {x for x in removed if inside(x, match)}
        files = sum(1 for x in new if inside(x, k) and new[x]["kind"] != "folder")
        items.append(("moved", k, match, old[match]["size"], new[k]["size"], files))
    moved = [0, 0]
    for k in added:
        e = new[k]
        if k in consumed_new or e["kind"] == "folder":
            continue
        match = next((g for g in removed if g not in consumed_old and old[g]["kind"] == e["kind"] and
                      (name(g), old[g]["size"], old[g]["modified"]) == (name(k), e["size"], e["modified"])), None)
        if match is None:
            continue
        consumed_new.add(k)
        consumed_old.add(match)
        items.append(("moved", k, match, e["size"], e["size"]))
        moved[0] += 1
        moved[1] += e["size"]
    tallies = {}
    for change, side, keys, consumed in (("added", new, added, consumed_new), ("removed", old, removed, consumed_old)):
        tally = [0, 0, 0]
        for k in keys:
            if k in consumed:
                continue
            e = side[k]
            if e["kind"] != "folder":
                tally[0] += 1
                tally[1] += e["size"]
            p = parent(k)
            top = k != b"" and p in old and p in new and old[p]["kind"] == new[p]["kind"] == "folder"
            if not top:
                continue
            if e["kind"] == "folder":
                tally[2] += 1
                files = sum(1 for x in side if inside(x, k) and side[x]["kind"] != "folder")
                items.append((change, k, None, e["size"], files))
            else:
                items.append((change, k, None, e["size"]))
        tallies[change] = tally
    items.sort(key=lambda i: (i[1], ORDER.index(i[0])))
    return items, tallies, moved


def from_tool(lines, old, new):
    """The tool's JSON Lines output in the reference's form."""
    items, summary = [], None
    for line in lines:
        c = json.loads(line)
        if c["change"] in ("summary", "total"):
            summary = summary or c
            continue
        sep_side = old if c["change"] == "removed" else new
        key = next(k for k, e in sep_side.items() if e["rel"].decode("utf-8", "replace") == c["path"] and
                   ("path_bytes" not in c or e["rel"] == bytes_of(c["path_bytes"])))
        if c["change"] == "moved":
            frm = next(k for k, e in old.items() if e["rel"].decode("utf-8", "replace") == c["from"] and
                       ("from_bytes" not in c or e["rel"] == bytes_of(c["from_bytes"])))
            if c["kind"] == "folder":
                items.append(("moved", key, frm, c["old_subtree_bytes"], c["new_subtree_bytes"], c["files"]))
            else:
                items.append(("moved", key, frm, c["old_size"], c["new_size"]))
        elif c["change"] in ("changed", "folder"):
            size = "size" if c["change"] == "changed" else "subtree_bytes"
            items.append((c["change"], key, None, c["old_" + size], c["new_" + size]))
        else:
            side = "old_" if c["change"] == "removed" else "new_"
            if c["kind"] == "folder":
                items.append((c["change"], key, None, c[side + "subtree_bytes"], c["files"]))
            else:
                items.append((c["change"], key, None, c[side + "size"]))
    return items, summary


def bytes_of(text):
    out, i = bytearray(), 0
    while i < len(text):
        if text[i] == "%":
            out.append(int(text[i + 1:i + 3], 16))
            i += 3
        else:
            out += text[i].encode()
            i += 1
    return bytes(out)


def make_original(root, rng):
    t = 1_600_000_000
    for d in range(6):
        for f in range(rng.randint(3, 9)):
            write(os.path.join(root, "d%d" % d, "f%d.dat" % f), b"x" * rng.randint(0, 900), t + rng.randint(0, 10**6))
        write(os.path.join(root, "d%d" % d, "deep", "inner.txt"), b"i" * (d + 1), t + d)
    for d in ("album", "keep"):
        for f in range(4):
            write(os.path.join(root, d, "p%d.jpg" % f), b"p" * (100 + f), t + f)
    write(os.path.join(root, "turns-into-folder"), b"file", t)
    write(os.fsdecode(os.path.join(os.fsencode(root), b"odd\xff.txt")), b"odd", t)
    write(os.path.join(root, "gone", "a", "b.txt"), b"bb", t)
    write(os.path.join(root, "move-me.bin"), b"m" * 321, t + 5)


def change_copy(root, rng):
    t = 1_600_000_000
    os.rename(os.path.join(root, "album"), os.path.join(root, "album-2020"))  # renamed folder
    os.rename(os.path.join(root, "move-me.bin"), os.path.join(root, "d1", "move-me.bin"))  # moved file
    shutil.rmtree(os.path.join(root, "gone"))
    write(os.path.join(root, "brand-new", "x", "y.txt"), b"y" * 40, t)
    os.remove(os.path.join(root, "turns-into-folder"))
    write(os.path.join(root, "turns-into-folder", "now.txt"), b"n", t)
    # Same text once made valid: only the bytes tell them apart.
    os.remove(os.fsdecode(os.path.join(os.fsencode(root), b"odd\xff.txt")))
    write(os.fsdecode(os.path.join(os.fsencode(root), b"odd\xfe.txt")), b"odd", t)
    for d in range(6):
        folder = os.path.join(root, "d%d" % d)
        names = sorted(n for n in os.listdir(folder) if n.startswith("f"))
        victim = rng.choice(names)
        os.remove(os.path.join(folder, victim))
        grow = os.path.join(folder, rng.choice([n for n in names if n != victim]))
        with open(grow, "ab") as f:
            f.write(b"more")
        write(os.path.join(folder, "added-%d.dat" % d), b"a" * d, t)
    touched = os.path.join(root, "keep", "p0.jpg")
    os.utime(touched, (t + 99, t + 99))  # same size, another time


def windows_form(listing, out):
    """The same listing as if made on Windows of C:\\copy."""
    lines = open(listing, "rb").read().split(b"\n")
    source = json.loads(lines[-2])["path"]
    with open(out, "wb") as f:
        for line in lines:
            if not line:
                continue
            r = json.loads(line)
            for field in ("path", "path_bytes"):
                if field in r:
                    rel = r[field][len(source):]
                    r[field] = "C:\\copy" + rel.replace("/", "\\")
            f.write(json.dumps(r, ensure_ascii=False).encode() + b"\n")


def main():
    rng = random.Random(1729)
    work = tempfile.mkdtemp()
    try:
        original = os.path.join(work, "data", "Photos")
        copy = os.path.join(work, "backup", "Photos")
        make_original(original, rng)
        shutil.copytree(original, copy, copy_function=shutil.copy2)
        change_copy(copy, rng)
        old_l, new_l = os.path.join(work, "old.jsonl"), os.path.join(work, "new.jsonl")
        save(original, old_l)
        save(copy, new_l)

        old, new = load(old_l), load(new_l)
        expected, tallies, moved = reference(old, new)
        r = run(DIFF, "--format", "jsonl", old_l, new_l)
        assert r.returncode == 1, r.stderr
        got, summary = from_tool(r.stdout.decode().splitlines(), old, new)
        assert got == expected, "\n".join(map(str, sorted(set(got) ^ set(expected), key=str))) or (got, expected)
        kinds = {i[0] for i in expected}
        assert kinds == set(ORDER), kinds  # the tree exercises every kind of change
        assert any(i[0] == "moved" and len(i) == 6 for i in expected)  # the renamed folder, once
        assert summary["added_files"] == tallies["added"][0] and summary["added_bytes"] == tallies["added"][1]
        assert summary["removed_files"] == tallies["removed"][0] and summary["removed_bytes"] == tallies["removed"][1]
        assert summary["folders_added"] == tallies["added"][2] and summary["folders_removed"] == tallies["removed"][2]
        assert [summary["moved_files"], summary["moved_bytes"]] == moved
        assert summary["old_source"] == original and summary["new_source"] == copy

        # The same listing twice, and a Windows listing of the same tree.
        assert run(DIFF, old_l, old_l).returncode == 0
        win = os.path.join(work, "windows.jsonl")
        windows_form(new_l, win)
        r = run(DIFF, new_l, win)
        assert r.returncode == 0, r.stdout
        r = run(DIFF, "--format", "csv", old_l, win)
        assert r.returncode == 1 and r.stdout.count(b"\r\n") == len(expected) + 1, r.stdout

        # Not valid: cut short, a corrupt line, an empty listing; the output
        # file keeps what it held.
        text = open(old_l, "rb").read()
        out = os.path.join(work, "changes.txt")
        write(out, b"earlier")
        cases = {"cut.jsonl": text[:len(text) // 2], "corrupt.jsonl": text.replace(b"\n", b"\n{oops\n", 1),
                 "empty.jsonl": b""}
        for file_name, data in cases.items():
            path = os.path.join(work, file_name)
            write(path, data)
            for pair in ((path, new_l), (new_l, path)):
                r = run(DIFF, "--output", out, *pair)
                assert r.returncode == 2, (file_name, r)
                assert path.encode() + b":" in r.stderr, r.stderr
                assert open(out, "rb").read() == b"earlier"
        assert b":2: " in run(DIFF, os.path.join(work, "corrupt.jsonl"), new_l).stderr
        assert sorted(os.listdir(work)) == sorted(["data", "backup", "old.jsonl", "new.jsonl", "windows.jsonl",
                                                   "changes.txt"] + list(cases))
        r = run(DIFF, "--output", out, old_l, new_l)
        assert r.returncode == 1 and r.stdout == b"" and open(out, "rb").read().startswith(b"old: ")
    finally:
        shutil.rmtree(work)
    print("comparison against the reference: ok")


main()
