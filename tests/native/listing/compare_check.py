#!/usr/bin/env python3
"""tallyfold-diff against a comparison worked out here from the listings alone,
by brute force: a folder and its changed copy at another place, then each case
a backup check brings (content changed, moves and hashes, content not
compared, a moved folder with changes inside, folders not read, empty folders
moved, a new folder holding a moved one), then random mutations of generated
listings; listings that are not valid, a listing from a pipe, and an output
that is one of the inputs.

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
ORDER = ["added", "removed", "changed", "moved", "folder", "content", "content_not_compared", "not_read"]
READ_FAILURES = {"permission denied", "vanished", "path too long", "cannot be read"}
WORK = tempfile.mkdtemp()


def run(*args):
    return subprocess.run(list(args), capture_output=True, stdin=subprocess.DEVNULL)


def write(path, data, mtime=None):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)
    if mtime:
        os.utime(path, (mtime, mtime))


def save(tree, out, *options):
    r = run(LIST, "--format", "jsonl", *options, "--output", out, tree)
    assert r.returncode == 0, r.stderr


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


def parent(key):
    return key.rsplit(b"/", 1)[0] if b"/" in key else b""


def name(key):
    return key.rsplit(b"/", 1)[-1]


def inside(key, folder):
    return key.startswith(folder + b"/") if folder else key != b""


def load(listing):
    """({key: entry} relative to the source, separator, hash algorithm)."""
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
        entries[key] = {"kind": r["kind"], "size": r.get("size", 0), "modified": r["modified"], "rel": rel,
                        "hash": r.get("hash"), "unhashed": r.get("unhashed"), "skipped": r.get("skipped")}
    for k, e in entries.items():  # a folder's size: the files listed below it
        e["files"] = e["entries"] = 0
        if e["kind"] == "folder":
            e["size"] = 0
    for k, e in entries.items():
        if k == b"":
            continue
        up = k
        while up != b"":
            up = parent(up)
            f = entries[up]
            f["entries"] += 1
            if e["kind"] != "folder":
                f["files"] += 1
                f["size"] += e["size"]
    return entries, sep, records[-1].get("hashes")


def reference(old_l, new_l):
    """The comparison, worked out from the two listings by brute force."""
    (old, osep, oh), (new, nsep, nh) = load(old_l), load(new_l)
    use_hashes = oh is not None and oh == nh
    for side in (old, new):
        for e in side.values():
            e["digest"] = e["hash"] if use_hashes else None
            if not use_hashes or e["kind"] != "file" or e["hash"]:
                e["unhashed"] = None
            elif not e["unhashed"]:
                e["unhashed"] = "read error"

    def show(key, sep):
        return key.replace(b"/", b"\\") if sep == b"\\" else key

    items = []

    def compare(k, o, e, frm):
        # (change, path, from, kind, old size, new size, extra)
        base = [k, frm, e["kind"], o["size"], e["size"]]
        if e["kind"] == "folder":
            os_, ns = o["skipped"], e["skipped"]
            alike = os_ == ns and ns not in READ_FAILURES
            if (os_ or ns) and not alike:
                side = "both" if os_ and ns else "new" if ns else "old"
                other = None if side == "both" else (o["files"], o["size"]) if side == "new" else (e["files"], e["size"])
                other = None if other == (0, 0) else other
                items.append(["not_read", k, frm, "folder", side, ns or os_, other])
            elif o["size"] != e["size"]:
                items.append(["folder"] + base)
        elif (o["size"], o["modified"]) != (e["size"], e["modified"]):
            items.append(["changed"] + base)
        elif o["digest"] and e["digest"]:
            if o["digest"] != e["digest"]:
                items.append(["content"] + base)
        elif o["digest"] or e["digest"]:
            side = "old" if e["digest"] else "new"
            items.append(["content_not_compared"] + base + [side, (o if side == "old" else e)["unhashed"]])

    for k in sorted(old.keys() & new.keys()):
        if old[k]["kind"] == new[k]["kind"]:
            compare(show(k, nsep), old[k], new[k], None)
    added = {k: {"e": new[k], "paired": False, "move": None} for k in new
             if k not in old or old[k]["kind"] != new[k]["kind"]}
    removed = {k: {"e": old[k], "paired": False, "move": None} for k in old
               if k not in new or old[k]["kind"] != new[k]["kind"]}

    # Folders not read.
    unread = {k for side in (added, removed) for k, o in side.items()
              if o["e"]["kind"] == "folder" and o["e"]["skipped"] in READ_FAILURES}
    unread |= {i[1].replace(b"\\", b"/") if nsep == b"\\" else i[1] for i in items if i[0] == "not_read"}

    def outermost(k):
        found, up = None, k
        while up != b"":
            up = parent(up)
            if up in unread and up != b"":
                found = up
        return found

    one_sided_unread = {}
    for side, is_new in ((added, True), (removed, False)):
        for k, o in sorted(side.items()):
            if o["e"]["kind"] == "folder" and o["e"]["skipped"] in READ_FAILURES and not outermost(k):
                item = ["not_read", show(k, nsep if is_new else osep), None, "folder", "new" if is_new else "old",
                        o["e"]["skipped"], [0, 0]]
                one_sided_unread[k] = item
                items.append(item)
                o["paired"] = True
    for side in (added, removed):
        for k, o in side.items():
            if o["paired"]:
                continue
            at = outermost(k)
            if at is None:
                continue
            o["paired"] = True
            if at in one_sided_unread and o["e"]["kind"] != "folder":
                one_sided_unread[at][6][0] += 1
                one_sided_unread[at][6][1] += o["e"]["size"]
    for item in one_sided_unread.values():
        item[6] = None if item[6] == [0, 0] else tuple(item[6])

    def signature(e, k):
        f = e["kind"] == "folder"
        return (name(k), e["kind"], 0 if f else e["size"], 0 if f else e["modified"], e["digest"])

    # Folders moved: entries alike at the same path below each vote for the pair.
    votes = {}
    for a, oa in added.items():
        for r, orr in removed.items():
            if oa["paired"] or orr["paired"] or signature(oa["e"], a) != signature(orr["e"], r):
                continue
            ka, kr = a, r
            while name(ka) == name(kr):
                ka, kr = parent(ka), parent(kr)
                if ka == b"" or kr == b"":
                    break
                if ka not in added or kr not in removed or added[ka]["paired"] or removed[kr]["paired"]:
                    break
                votes[(ka, kr)] = votes.get((ka, kr), 0) + 1
    moves = []
    tallies = {"moved": [0, 0], "folders_moved": 0}
    for a in sorted(added):
        cands = sorted((r, v) for (x, r), v in votes.items() if x == a and not removed[r]["paired"])
        if added[a]["paired"] or not cands:
            continue
        best, most = cands[0]
        for r, v in cands:
            if v > most:
                best, most = r, v
        if 2 * most <= max(added[a]["e"]["entries"], removed[best]["e"]["entries"]):
            continue
        added[a]["paired"] = removed[best]["paired"] = True
        move = len(moves)
        moves.append((a, best))
        items.append(["moved", show(a, nsep), show(best, osep), "folder", removed[best]["e"]["size"],
                      added[a]["e"]["size"], added[a]["e"]["files"]])
        tallies["folders_moved"] += 1
        for k in sorted(added):
            if not inside(k, a):
                continue
            added[k]["move"] = move
            if added[k]["paired"]:
                continue
            ok = best + k[len(a):]
            if ok in removed and not removed[ok]["paired"] and removed[ok]["e"]["kind"] == added[k]["e"]["kind"]:
                added[k]["paired"] = removed[ok]["paired"] = True
                removed[ok]["move"] = move
                compare(show(k, nsep), removed[ok]["e"], added[k]["e"], show(ok, osep))
        for k in removed:
            if inside(k, best):
                removed[k]["move"] = move

    # Then files, links and empty folders one by one.
    def single(o):
        return not o["paired"] and (o["e"]["kind"] != "folder" or o["e"]["entries"] == 0)

    for a in sorted(added):
        if not single(added[a]):
            continue
        e = added[a]["e"]
        r = next((r for r in sorted(removed) if single(removed[r]) and
                  signature(removed[r]["e"], r) == signature(e, a)), None)
        if r is None:
            continue
        added[a]["paired"] = removed[r]["paired"] = True
        items.append(["moved", show(a, nsep), show(r, osep), e["kind"], removed[r]["e"]["size"], e["size"]]
                     + ([0] if e["kind"] == "folder" else []))
        if e["kind"] == "folder":
            tallies["folders_moved"] += 1
        else:
            tallies["moved"][0] += 1
            tallies["moved"][1] += e["size"]

    for change, side, is_new in (("added", added, True), ("removed", removed, False)):
        tally = [0, 0, 0]
        for k, o in sorted(side.items()):
            if o["paired"]:
                continue
            e = o["e"]
            if e["kind"] != "folder":
                tally[0] += 1
                tally[1] += e["size"]
            up = parent(k)
            if up in side and not side[up]["paired"]:
                continue
            size, files = e["size"], 0
            if e["kind"] == "folder":
                tally[2] += 1
                below = [x for x in side if inside(x, k) and not side[x]["paired"] and side[x]["e"]["kind"] != "folder"]
                files, size = len(below), sum(side[x]["e"]["size"] for x in below)
            path, frm = show(k, nsep if is_new else osep), None
            if o["move"] is not None:
                here, there = moves[o["move"]] if is_new else moves[o["move"]][::-1]
                other = show(there + k[len(here):], osep if is_new else nsep)
                path, frm = (path, other) if is_new else (other, path)
            items.append([change, path, frm, e["kind"], size] + ([files] if e["kind"] == "folder" else []))
        tallies[change] = tally
    for i in items:
        if i[0] == "not_read" and isinstance(i[6], list):
            i[6] = None if i[6] == [0, 0] else tuple(i[6])

    def order_key(i):
        k = i[1]
        old_side = (i[0] == "removed" and i[2] is None) or (i[0] == "not_read" and i[4] == "old" and i[6] is None)
        sep = osep if old_side else nsep
        return (k.replace(b"\\", b"/") if sep == b"\\" else k, ORDER.index(i[0]))

    items.sort(key=order_key)
    changed = [i for i in items if i[0] == "changed"]
    tallies["changed"] = [len(changed), sum(i[5] - i[4] for i in changed)]
    tallies["content"] = sum(1 for i in items if i[0] == "content")
    tallies["not_read"] = sum(1 for i in items if i[0] == "not_read")
    tallies["not_compared"] = sum(1 for i in items if i[0] == "content_not_compared")
    return [tuple(i) for i in items], tallies


def path_of(c, field):
    return bytes_of(c[field + "_bytes"]) if field + "_bytes" in c else c[field].encode()


def from_tool(lines):
    """The tool's JSON Lines output in the reference's form."""
    items, summary = [], {}
    for line in lines:
        c = json.loads(line)
        if c["change"] in ("summary", "total"):
            summary.update(c)
            continue
        path = path_of(c, "path")
        frm = path_of(c, "from") if "from" in c else None
        ch, kind = c["change"], c["kind"]
        folder = kind == "folder"
        size = "subtree_bytes" if folder else "size"
        if ch == "not_read":
            other = None if c["unread_in"] == "both" else (c["other_files"], c["other_bytes"])
            if other == (0, 0):
                other = None
            items.append(("not_read", path, frm, kind, c["unread_in"], c["reason"].split("; ")[0], other))
        elif ch == "moved":
            items.append(("moved", path, frm, kind, c["old_" + size], c["new_" + size]) +
                         ((c["files"],) if folder else ()))
        elif ch in ("changed", "folder", "content"):
            items.append((ch, path, frm, kind, c["old_" + size], c["new_" + size]))
        elif ch == "content_not_compared":
            reason = c["reason"].split(": ", 1)[1]
            items.append((ch, path, frm, kind, c["old_size"], c["new_size"], c["unhashed_in"], reason))
        else:
            side = "old_" if ch == "removed" else "new_"
            items.append((ch, path, frm, kind, c[side + size]) + ((c["files"],) if folder else ()))
    return items, summary


def check(old_l, new_l, expect_exit=None):
    """The tool's answer is the reference's; both returned."""
    expected, tallies = reference(old_l, new_l)
    r = run(DIFF, "--format", "jsonl", old_l, new_l)
    assert r.returncode in (0, 1), r.stderr
    got, summary = from_tool(r.stdout.decode().splitlines())
    assert got == expected, "\n".join(["tool only:"] + [str(i) for i in got if i not in expected] +
                                      ["reference only:"] + [str(i) for i in expected if i not in got])
    if expected:
        assert [summary["added_files"], summary["added_bytes"], summary["folders_added"]] == tallies["added"]
        assert [summary["removed_files"], summary["removed_bytes"],
                summary["folders_removed"]] == tallies["removed"]
        assert [summary["moved_files"], summary["moved_bytes"]] == tallies["moved"]
        assert summary["folders_moved"] == tallies["folders_moved"]
        assert [summary["changed_files"], summary["changed_growth"]] == tallies["changed"]
        assert summary.get("content_changed_files", 0) == tallies["content"]
        assert summary.get("not_read_folders", 0) == tallies["not_read"]
        assert summary.get("content_not_compared_files", 0) == tallies["not_compared"]
    if expect_exit is not None:
        assert r.returncode == expect_exit, (r.returncode, r.stderr)
    return got, r


# ---- generated listings ----

T0 = 13_000_000_000  # seconds since 1601


def iso(seconds):
    import datetime
    t = datetime.datetime(1601, 1, 1) + datetime.timedelta(seconds=seconds)
    return t.strftime("%Y-%m-%dT%H:%M:%SZ")


def folder(**children):
    return {"kind": "folder", "children": dict(children), "skipped": None}


def file(size, t=0, content=None):
    return {"kind": "file", "size": size, "t": T0 + t, "content": content if content is not None else "c%d-%d" % (size, t)}


def emit(tree, out, hashes=True, root="/data/src"):
    """Writes `tree` as tallyfold-list writes a listing: a folder's files,
    then its subfolders, then its own record; the source's last."""
    lines = []

    def walk(node, path, nm):
        files = [(n, c) for n, c in sorted(node["children"].items()) if c["kind"] != "folder"]
        subs = [(n, c) for n, c in sorted(node["children"].items()) if c["kind"] == "folder"]
        total = 0
        for n, c in files:
            r = {"path": path + "/" + n, "name": n, "kind": c["kind"], "type": "", "size": c["size"],
                 "created": iso(T0), "modified": iso(c["t"])}
            if hashes and c["kind"] == "file":
                if c.get("unhashed"):
                    r["unhashed"] = c["unhashed"]
                else:
                    import hashlib
                    r["hash"] = "xxh128:" + hashlib.md5(c["content"].encode()).hexdigest()
            lines.append(r)
            total += c["size"]
        for n, c in subs:
            total += walk(c, path + "/" + n, n)
        r = {"path": path, "name": nm, "kind": "folder", "type": "", "size": 0, "created": iso(T0),
             "modified": iso(T0), "files": len(files), "subtree_bytes": total}
        if node.get("skipped"):
            r["skipped"] = node["skipped"]
        lines.append(r)
        return total

    walk(tree, root, root.rsplit("/", 1)[-1])
    if hashes:
        lines[-1]["hashes"] = "xxh128"
    lines[-1]["listed_at"] = iso(T0)
    with open(out, "w") as f:
        for r in lines:
            f.write(json.dumps(r) + "\n")


def copy(tree):
    return json.loads(json.dumps(tree))


def at(tree, path):
    node = tree
    for part in path.split("/"):
        node = node["children"][part]
    return node


def pair(name_, old_tree, new_tree, hashes=(True, True)):
    o, n = os.path.join(WORK, name_ + "-old.jsonl"), os.path.join(WORK, name_ + "-new.jsonl")
    emit(old_tree, o, hashes[0], "/data/src")
    emit(new_tree, n, hashes[1], "/backup/src")
    return o, n


def base_tree():
    return folder(
        docs=folder(**{"a.txt": file(10, 1), "b.txt": file(10, 1, "other"), "c.txt": file(30, 3)},
                    inner=folder(**{"deep.txt": file(5, 5)})),
        photos=folder(**{"p%d.jpg" % i: file(100 + i, i) for i in range(6)}),
        empty=folder(),
        **{"root.txt": file(1, 1)})


# ---- each case, named ----

def test_content_changed():
    old = base_tree()
    new = copy(old)
    d = at(new, "docs")["children"]
    d["a.txt"]["content"], d["b.txt"]["content"] = d["b.txt"]["content"], d["a.txt"]["content"]  # swapped
    got, r = check(*pair("content", old, new), expect_exit=1)
    assert [i[:2] for i in got] == [("content", b"docs/a.txt"), ("content", b"docs/b.txt")], got
    text = run(DIFF, *pair("content", old, new)).stdout.decode()
    assert "! docs/a.txt: content changed (10 bytes)" in text and "content changed 2 files" in text, text
    csv = run(DIFF, "--format", "csv", *pair("content", old, new)).stdout.decode()
    assert csv.count("\r\ncontent,docs/") == 2, csv


def test_move_needs_equal_hashes():
    old = base_tree()
    new = copy(old)
    moved = at(new, "docs")["children"].pop("c.txt")
    at(new, "photos")["children"]["c.txt"] = moved
    lookalike = at(new, "docs")["children"].pop("a.txt")
    lookalike["content"] = "not the same"
    at(new, "photos")["children"]["a.txt"] = lookalike
    got, _ = check(*pair("moves", old, new), expect_exit=1)
    assert ("moved", b"photos/c.txt", b"docs/c.txt", "file", 30, 30) in got, got
    assert ("added", b"photos/a.txt", None, "file", 10) in got and ("removed", b"docs/a.txt", None, "file", 10) in got


def test_content_not_compared():
    old = base_tree()
    new = copy(old)
    at(new, "docs/c.txt")["unhashed"] = "permission denied"
    got, r = check(*pair("unhashed", old, new), expect_exit=1)
    assert got == [("content_not_compared", b"docs/c.txt", None, "file", 30, 30, "new", "permission denied")], got
    # The whole new listing without hashes: said once, and never "equal".
    r = run(DIFF, *pair("nohashes", old, old, hashes=(True, False)))
    assert r.returncode == 1 and b"contents not compared: the old listing carries xxh128 hashes" in r.stderr, r
    assert b"contents not compared" in r.stdout
    assert run(DIFF, *pair("newhashes", old, old, hashes=(False, True))).returncode == 0


def test_moved_folder_with_changes_inside():
    old = base_tree()
    for i in range(20):
        at(old, "photos")["children"]["q%d.jpg" % i] = file(200 + i, i)
    new = copy(old)
    photos = new["children"].pop("photos")
    new["children"]["album"] = photos
    c = photos["children"]
    c["p0.jpg"]["content"] = "rewritten"  # same size and time
    c["p1.jpg"]["size"] += 1
    del c["p2.jpg"]
    c["new.jpg"] = file(7, 7)
    got, _ = check(*pair("movedfolder", old, new), expect_exit=1)
    assert [i for i in got if i[0] != "folder"] == [
        ("moved", b"album", b"photos", "folder", 4805, 4711, 26),
        ("added", b"album/new.jpg", b"photos/new.jpg", "file", 7),
        ("content", b"album/p0.jpg", b"photos/p0.jpg", "file", 100, 100),
        ("changed", b"album/p1.jpg", b"photos/p1.jpg", "file", 101, 102),
        ("removed", b"album/p2.jpg", b"photos/p2.jpg", "file", 102)], got
    text = run(DIFF, *pair("movedfolder", old, new)).stdout.decode()
    assert "> photos/ -> album/ (folder, 26 files, 4711 bytes)" in text, text
    assert "~ album/p1.jpg <- photos/p1.jpg: size 101 -> 102 (+1)" in text, text


def test_not_read_folder():
    old = base_tree()
    new = copy(old)
    at(new, "photos").update(children={}, skipped="permission denied")
    got, r = check(*pair("unread", old, new), expect_exit=1)
    assert ("not_read", b"photos", None, "folder", "new", "permission denied", (6, 615)) in got, got
    assert not [i for i in got if i[0] in ("removed", "added")], got
    text = r.stdout.decode()
    # The other way round, and a folder not read that the other listing lacks.
    got, _ = check(*pair("unread-old", new, old), expect_exit=1)
    assert ("not_read", b"photos", None, "folder", "old", "permission denied", (6, 615)) in got, got
    lacking = copy(old)
    lacking["children"]["locked"] = folder()
    lacking["children"]["locked"]["skipped"] = "permission denied"
    got, _ = check(*pair("unread-new", old, lacking), expect_exit=1)
    assert got == [("not_read", b"locked", None, "folder", "new", "permission denied", None)], got
    text = run(DIFF, *pair("unread", old, new)).stdout.decode()
    assert "x photos/: not read in the new listing (permission denied); the old listing holds 6 files, 615 bytes" \
        in text, text


def test_empty_folders_move():
    old = base_tree()
    new = copy(old)
    at(new, "docs")["children"]["empty"] = new["children"].pop("empty")
    got, _ = check(*pair("emptymove", old, new), expect_exit=1)
    assert got == [("moved", b"docs/empty", b"empty", "folder", 0, 0, 0)], got


def test_new_folder_counts_only_what_is_new():
    old = base_tree()
    new = copy(old)
    deeper = folder(**{"fresh.txt": file(9, 9)})
    deeper["children"]["photos"] = new["children"].pop("photos")
    new["children"]["deeper"] = deeper
    got, r = check(*pair("deeper", old, new), expect_exit=1)
    assert ("added", b"deeper", None, "folder", 9, 1) in got, got
    assert ("moved", b"deeper/photos", b"photos", "folder", 615, 615, 6) in got, got


def mutate(tree, rng):
    """Random changes of the kinds a backup brings, on a copy."""
    new = copy(tree)

    def folders(node, path=""):
        for n, c in node["children"].items():
            if c["kind"] == "folder":
                p = path + "/" + n if path else n
                yield p, c
                yield from folders(c, p)

    for _ in range(rng.randint(1, 6)):
        fs = [(p, c) for p, c in folders(new) if not c.get("skipped")]
        if not fs:
            break
        p, node = rng.choice(fs)
        files = [n for n, c in node["children"].items() if c["kind"] == "file"]
        op = rng.choice(["rename", "rename", "swap", "unread", "grow", "drop", "add", "move", "emptydir", "nest"])
        up = at(new, p.rsplit("/", 1)[0]) if "/" in p else new
        if op == "rename":  # with a change inside
            child = up["children"].pop(p.rsplit("/", 1)[-1])
            up["children"][p.rsplit("/", 1)[-1] + "-renamed"] = child
            if files and rng.random() < 0.7:
                f = child["children"][rng.choice(files)]
                rng.choice([lambda: f.update(size=f["size"] + 1), lambda: f.update(content="x"),
                            lambda: child["children"].pop(files[0]),
                            lambda: child["children"].update(extra=file(3, 3))])()
        elif op == "swap" and len(files) >= 2:
            a, b = node["children"][files[0]], node["children"][files[1]]
            a["content"], b["content"] = b["content"], a["content"]
        elif op == "unread":
            node.update(children={}, skipped=rng.choice(["permission denied", "vanished"]))
        elif op == "grow" and files:
            node["children"][rng.choice(files)]["t"] += 60
        elif op == "drop" and files:
            node["children"].pop(rng.choice(files))
        elif op == "add":
            node["children"]["n%d" % rng.randint(0, 99)] = file(rng.randint(0, 50), rng.randint(0, 9))
        elif op == "move" and files:
            target = rng.choice(fs)[1]
            if target is not node:
                target["children"]["m-" + files[0]] = node["children"].pop(files[0])
        elif op == "emptydir":
            node["children"]["e%d" % rng.randint(0, 9)] = folder()
        elif op == "nest" and p.count("/") == 0:
            child = new["children"].pop(p)
            new["children"]["holder"] = folder(**{p: child, "h.txt": file(4, 4)})
    return new


def random_tree(rng, depth=0):
    node = folder()
    for i in range(rng.randint(0, 5)):
        node["children"]["f%d.bin" % i] = file(rng.choice([0, 10, 10, 20, rng.randint(0, 99)]), rng.randint(0, 3))
    if depth < 3:
        for i in range(rng.randint(0, 3)):
            node["children"]["d%d" % i] = random_tree(rng, depth + 1)
    return node


def test_random_mutations():
    rng = random.Random(2718)
    kinds = set()
    for n in range(300):
        old = random_tree(rng)
        new = mutate(old, rng)
        got, _ = check(*pair("random", old, new, hashes=rng.choice([(True, True), (False, False)])))
        kinds |= {i[0] for i in got}
    assert kinds >= {"moved", "added", "removed", "changed", "content", "not_read"}, kinds


# ---- a folder and its changed copy, listed from disk ----

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
        folder_ = os.path.join(root, "d%d" % d)
        names = sorted(n for n in os.listdir(folder_) if n.startswith("f"))
        victim = rng.choice(names)
        os.remove(os.path.join(folder_, victim))
        grow = os.path.join(folder_, rng.choice([n for n in names if n != victim]))
        with open(grow, "ab") as f:
            f.write(b"more")
        write(os.path.join(folder_, "added-%d.dat" % d), b"a" * d, t)
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


def test_copy_on_disk():
    rng = random.Random(1729)
    original = os.path.join(WORK, "data", "Photos")
    copy_ = os.path.join(WORK, "backup", "Photos")
    make_original(original, rng)
    shutil.copytree(original, copy_, copy_function=shutil.copy2)
    change_copy(copy_, rng)
    old_l, new_l = os.path.join(WORK, "old.jsonl"), os.path.join(WORK, "new.jsonl")
    save(original, old_l, "--hash")
    save(copy_, new_l, "--hash")
    got, r = check(old_l, new_l, expect_exit=1)
    assert {i[0] for i in got} == {"added", "removed", "changed", "moved", "folder"}, got
    assert any(i[0] == "moved" and i[3] == "folder" for i in got)  # the renamed folder, once
    summary = json.loads(r.stdout.splitlines()[-2])
    assert summary["old_source"] == original and summary["new_source"] == copy_

    # The same listing twice, and a Windows listing of the same tree.
    assert run(DIFF, old_l, old_l).returncode == 0
    win = os.path.join(WORK, "windows.jsonl")
    windows_form(new_l, win)
    r = run(DIFF, new_l, win)
    assert r.returncode == 0, r.stdout
    check(old_l, win, expect_exit=1)

    # From a pipe, as a shell's <(...) gives it.
    r = subprocess.run(["bash", "-c", 'exec "$0" --format jsonl <(cat "$1") <(cat "$2")', DIFF, old_l, new_l],
                       capture_output=True)
    assert r.returncode == 1 and r.stdout == run(DIFF, "--format", "jsonl", old_l, new_l).stdout, r.stderr
    page = os.path.join(WORK, "page.html")
    r = subprocess.run(["bash", "-c", 'exec "$0" --format explorer --output "$3" <(cat "$1") <(cat "$2")', DIFF,
                        old_l, new_l, page], capture_output=True)
    assert r.returncode == 1 and b"application/x-tallyfold-changes" in open(page, "rb").read(), r.stderr
    return old_l, new_l


def test_listings_not_valid(old_l, new_l):
    """Cut short, corrupt, empty, and the replay's checks: exit 2 naming the
    file and line; the output file keeps what it held."""
    text = open(old_l, "rb").read()
    lines = text.split(b"\n")[:-1]
    first_file = next(i for i, l in enumerate(lines) if b'"kind":"file"' in l)
    first_folder = next(i for i, l in enumerate(lines) if b'"kind":"folder"' in l)
    out = os.path.join(WORK, "changes.txt")
    write(out, b"earlier")
    cases = {
        "cut.jsonl": (text[:len(text) // 2], None),
        "corrupt.jsonl": (text.replace(b"\n", b"\n{oops\n", 1), 2),
        "empty.jsonl": (b"", None),
        "twice.jsonl": (b"\n".join(lines[:first_file + 1] + lines[first_file:]) + b"\n", first_file + 2),
        "no-folder-record.jsonl": (b"\n".join(lines[:first_folder] + lines[first_folder + 1:]) + b"\n", None),
    }
    for file_name, (data, line) in cases.items():
        path = os.path.join(WORK, file_name)
        write(path, data)
        for pair_ in ((path, new_l), (new_l, path)):
            r = run(DIFF, "--output", out, *pair_)
            assert r.returncode == 2, (file_name, r)
            assert path.encode() + b":" in r.stderr, r.stderr
            if line:
                assert ("%s:%d: " % (path, line)).encode() in r.stderr, (file_name, r.stderr)
            assert open(out, "rb").read() == b"earlier"
    r = run(DIFF, "--output", out, old_l, new_l)
    assert r.returncode == 1 and r.stdout == b"" and open(out, "rb").read().startswith(b"old: ")


def test_output_is_an_input(old_l, new_l):
    keep = open(old_l, "rb").read()
    link = os.path.join(WORK, "link.jsonl")
    os.symlink(old_l, link)
    for output in (old_l, link):
        r = run(DIFF, "--output", output, old_l, new_l)
        assert r.returncode == 2 and b"is the listing" in r.stderr, r
        r = run(LIST, "--from", old_l, "--format", "jsonl", "--output", output)
        assert r.returncode == 2 and b"is the listing" in r.stderr, r
        assert open(old_l, "rb").read() == keep


def test_text_names_stay_one_line():
    old = base_tree()
    new = copy(old)
    new["children"]["a -> b\nc"] = file(3, 3)
    text = run(DIFF, *pair("names", old, new)).stdout.decode()
    assert '+ "a -> b\\nc" (3 bytes)' in text, text


def main():
    try:
        test_content_changed()
        test_move_needs_equal_hashes()
        test_content_not_compared()
        test_moved_folder_with_changes_inside()
        test_not_read_folder()
        test_empty_folders_move()
        test_new_folder_counts_only_what_is_new()
        test_text_names_stay_one_line()
        test_random_mutations()
        old_l, new_l = test_copy_on_disk()
        test_listings_not_valid(old_l, new_l)
        test_output_is_an_input(old_l, new_l)
    finally:
        shutil.rmtree(WORK)
    print("comparison against the reference: ok")


main()
