#!/usr/bin/env python3
"""NTFS images listed from their file table (--volume) against the walk of the
same tree mounted through ntfs-3g, in every format. The mounted walk is the
reference; where the two cannot agree (the mount has no creation time, does
not count named streams, and spells a junction's target with its own mount
path) the reference is corrected from facts read through the mount, and the
rest must be the same bytes. Then images that must be refused.

usage: volume_check.py TALLYFOLD_LIST
Needs root, /dev/fuse, mkntfs and ntfs-3g; exits 77 (skipped) without them.
"""
import datetime
import json
import os
import shutil
import struct
import subprocess
import sys
import tempfile

LIST = os.path.abspath(sys.argv[1])
SKIP = 77
ENV = dict(os.environ, SOURCE_DATE_EPOCH="1709210096")
NAME = "disk"  # the mount's folder and the image both, so that sources match
CLUSTER = 4096
EPOCH_TICKS = 116444736000000000


def run(args, cwd):
    return subprocess.run([LIST] + args, capture_output=True, cwd=cwd, env=ENV)


def read(path):
    with open(path, "rb") as f:
        return f.read()


def write(path, data=b"x"):
    with open(path, "wb") as f:
        f.write(data)


# --- the tree, with every case the reader must meet -----------------------

def make_tree(root, wide):
    j = lambda *p: os.path.join(root, *p)
    write(j("top.txt"), b"top")
    write(j("empty"), b"")
    os.makedirs(j("empty-folder"))
    # Names in the volume's own order: case, symbols, beyond ASCII, a
    # character outside the basic plane, a full-width letter after it.
    os.makedirs(j("names"))
    for name in ["Case", "case", "_under", "[b", "~tilde", "a b.txt", "\u00e4.txt", "\u00dcn\u00efcode",
                 "\u65e5\u672c\u8a9e.doc", "emoji-\U0001F600", "\uff5a-wide", "Z", "zz.TXT"]:
        write(j("names", name), name.encode())
    # Deep.
    deep = j(*["level%02d" % i for i in range(16)])
    os.makedirs(deep)
    write(os.path.join(deep, "bottom.bin"), b"b" * 5000)
    # Hard links: three names in two folders, and one file with so many
    # names (in two folders, each small enough for one index block) that
    # they spill into other records through an attribute list.
    os.makedirs(j("links", "other"))
    write(j("links", "first.txt"), b"linked")
    os.link(j("links", "first.txt"), j("links", "second.txt"))
    os.link(j("links", "first.txt"), j("links", "other", "third.txt"))
    os.makedirs(j("many-a"))
    os.makedirs(j("many-b"))
    write(j("many-a", "name-00"), b"many")
    for i in range(1, 40):
        os.link(j("many-a", "name-00"), j("many-" + "ab"[i % 2], "name-%02d-with-a-longer-name" % i))
    # Sparse: a hole past 4 GiB, and data amid holes.
    with open(j("sparse-5g.bin"), "wb") as f:
        f.truncate(5 << 30)
    with open(j("sparse-mid.bin"), "wb") as f:
        f.seek(1 << 20)
        f.write(b"m" * 8192)
        f.truncate(3 << 20)
    # Compressed: files made in a folder marked so.
    os.makedirs(j("packed"))
    os.setxattr(j("packed"), "system.ntfs_attrib_be", struct.pack(">I", 0x800))
    write(j("packed", "text.log"), b"hello compressible world\n" * 8000)
    write(j("packed", "tiny"), b"t")
    # Named streams, through the mount's user attributes: a small one kept
    # in the record, a large one in clusters of its own.
    write(j("streams.txt"), b"main")
    os.setxattr(j("streams.txt"), "user.note", b"abc")
    os.setxattr(j("streams.txt"), "user.blob", b"s" * 20000)
    # Links: to a file, to a folder, to a link, up a level, nowhere.
    os.symlink("top.txt", j("to-top"))
    os.symlink("links", j("to-folder"))
    os.symlink("to-top", j("to-link"))
    os.symlink("../top.txt", j("links", "up-top"))
    os.symlink("/no/such/place", j("dangling"))
    # A junction, set as reparse data through the mount.
    os.makedirs(j("junction"))
    target, shown = "\\??\\C:\\Windows".encode("utf-16-le"), "C:\\Windows".encode("utf-16-le")
    buf = struct.pack("<HHHH", 0, len(target), len(target) + 2, len(shown)) + target + b"\0\0" + shown + b"\0\0"
    os.setxattr(j("junction"), "system.ntfs_reparse_data", struct.pack("<IHH", 0xA0000003, len(buf), 0) + buf)
    # Under big/: a folder wide enough for an index of many blocks, and
    # files made and deleted in turns once the volume has filled, so that
    # the file table grows in pieces and keeps unused records.
    os.makedirs(j("big", "wide"))
    for i in range(wide):
        write(j("big", "wide", "file-%04d.dat" % ((i * 7919) % wide)), b"w" * (i % 3000))
    os.makedirs(j("big", "churn"))
    filled = 0
    try:
        while True:
            write(j("big", "churn", "fill-%d" % filled), bytes(1 << 20))
            filled += 1
    except OSError:
        pass
    for i in range(0, filled, 2):
        os.remove(j("big", "churn", "fill-%d" % i))
    for turn in range(4):
        for i in range(300):
            write(j("big", "churn", "t%d-%03d" % (turn, i)), b"c")
        for i in range(0, 300, 2):
            os.remove(j("big", "churn", "t%d-%03d" % (turn, i)))


def small_tree(root):
    os.makedirs(os.path.join(root, "a", "b"))
    write(os.path.join(root, "a", "one.txt"), b"1" * 3000)
    write(os.path.join(root, "a", "b", "two"), b"2")
    os.link(os.path.join(root, "a", "one.txt"), os.path.join(root, "a", "b", "one-again.txt"))
    os.symlink("one.txt", os.path.join(root, "a", "link"))


# --- the image, read independently of the program ------------------------

def mft_facts(image):
    """The file table's runs and whether any record in use has an attribute
    list, read straight from the image."""
    with open(image, "rb") as f:
        boot = f.read(512)
        sector = struct.unpack_from("<H", boot, 0x0B)[0]
        cluster = sector * boot[0x0D]
        per = struct.unpack_from("<b", boot, 0x40)[0]
        size = per * cluster if per > 0 else 1 << -per
        f.seek(struct.unpack_from("<Q", boot, 0x30)[0] * cluster)
        record = bytearray(f.read(size))

        def fixup(rec):
            at, count = struct.unpack_from("<HH", rec, 4)
            stride = len(rec) // (count - 1)
            for i in range(1, count):
                rec[i * stride - 2:i * stride] = rec[at + 2 * i:at + 2 * i + 2]
            return rec

        def attributes(rec):
            at = struct.unpack_from("<H", rec, 0x14)[0]
            while struct.unpack_from("<I", rec, at)[0] != 0xFFFFFFFF:
                kind, length = struct.unpack_from("<II", rec, at)
                yield kind, rec[at:at + length]
                at += length

        runs = []
        for kind, attr in attributes(fixup(record)):
            if kind == 0x80:
                i, lcn, vcn = struct.unpack_from("<H", attr, 0x20)[0], 0, 0
                while attr[i]:
                    nl, no = attr[i] & 15, attr[i] >> 4
                    length = int.from_bytes(attr[i + 1:i + 1 + nl], "little")
                    lcn += int.from_bytes(attr[i + 1 + nl:i + 1 + nl + no], "little", signed=True)
                    runs.append((lcn, length))
                    i += 1 + nl + no
        with_list = 0
        for lcn, length in runs:
            f.seek(lcn * cluster)
            chunk = f.read(length * cluster)
            for at in range(0, len(chunk) - size + 1, size):
                rec = bytearray(chunk[at:at + size])
                if rec[:4] == b"FILE" and struct.unpack_from("<H", rec, 0x16)[0] & 1:
                    if any(kind == 0x20 for kind, _ in attributes(fixup(rec))):
                        with_list += 1
        return runs, with_list, cluster, size


# --- the comparison -------------------------------------------------------

def iso(ticks):
    seconds = (ticks - EPOCH_TICKS) // 10000000
    return (datetime.datetime(1970, 1, 1) + datetime.timedelta(seconds=seconds)).strftime("%Y-%m-%dT%H:%M:%SZ")


def creation_ticks(path, kind):
    # A link is listed as itself.
    own = kind == "link"
    return struct.unpack("<Q", os.getxattr(path, "system.ntfs_crtime", follow_symlinks=not own))[0]


JUNCTION_TARGET = "C:/Windows"


def corrected(jsonl_bytes, mount_parent, reorder=()):
    """The walk's listing with what the mount cannot tell put right: the
    creation time (the mount gives the change time), named streams' space,
    a junction's target as the volume spells it, and the rows of the
    folders in `reorder` in name order (the mount gives a large folder's
    index block by block)."""
    lines, shrink = [], {}
    for line in jsonl_bytes.decode().splitlines():
        e = json.loads(line)
        if e.get("kind") in ("file", "folder", "link"):
            path = os.path.join(mount_parent, e["path"])
            e["created"] = iso(creation_ticks(path, e["kind"]))
            if e["kind"] == "file":
                for stream in os.listxattr(path):
                    if stream.startswith("user."):
                        n = len(os.getxattr(path, stream))
                        e["allocated"] += (n + CLUSTER - 1) // CLUSTER * CLUSTER if n > 900 else 0
            if e["name"] == "junction":
                shrink[os.path.dirname(e["path"])] = e["size"] - len(JUNCTION_TARGET)
                e["size"] = len(JUNCTION_TARGET)
                e["target"] = JUNCTION_TARGET
        lines.append(e)
    # The folders above the junction hold its bytes.
    for e in lines:
        for folder, less in shrink.items():
            if e.get("kind") == "folder" and (folder + "/").startswith(e["path"] + "/"):
                e["subtree_bytes"] -= less
                e["bytes"] -= less if e["path"] == folder else 0
    order = lambda e: (e["name"].upper().encode("utf-16-be"), e["name"].encode("utf-16-be"))
    i = 0
    while i < len(lines):
        folder = os.path.dirname(lines[i].get("path", ""))
        j = i
        while j < len(lines) and lines[j].get("kind") in ("file", "link") and \
                os.path.dirname(lines[j]["path"]) == folder and folder in reorder:
            j += 1
        lines[i:j] = sorted(lines[i:j], key=order)
        i = max(j, i + 1)
    return "".join(json.dumps(e, ensure_ascii=False, separators=(",", ":")) + "\n" for e in lines).encode()


def corrected_efu(efu_bytes, mount_parent):
    """The same for the EFU list, whose times are exact: its creation times
    and the junction's size."""
    rows, less = [], 0
    for n, line in enumerate(efu_bytes.decode().split("\r\n")):
        if n == 0 or not line:
            rows.append(line)
            continue
        head, modified, created, attributes = line.rsplit(",", 3)
        quoted, size = head.rsplit(",", 1)
        path = os.path.join(mount_parent, quoted[1:-1].replace('""', '"'))
        kind = "link" if os.path.islink(path) else "folder" if os.path.isdir(path) else "file"
        created = str(creation_ticks(path, kind))
        if os.path.basename(path) == "junction":
            less, size = int(size) - len(JUNCTION_TARGET), str(len(JUNCTION_TARGET))
            junction = path
        rows.append([path, quoted, size, modified, created, attributes])
    out = []
    for row in rows:
        if isinstance(row, str):
            out.append(row)
            continue
        path, *fields = row
        if less and os.path.isdir(path) and not os.path.islink(path) and junction.startswith(path + "/"):
            fields[1] = str(int(fields[1]) - less)
        out.append(",".join(fields))
    return "\r\n".join(out).encode()


FORMATS = ["text", "html", "csv", "jsonl", "ncdu", "explorer"]
OPTIONS = [
    [],
    ["--order", "name", "--record", "type,size,created,modified"],
    ["--order", "size", "--filter", "*.txt;*.DAT"],
    ["--max-depth", "2", "--order", "type"],
]
BIG = ("disk/big/wide", "disk/big/churn")


def check_image(work, label, mkntfs, size, build, folders=("",)):
    failures = []
    mount_side, image_side = os.path.join(work, label, "mounted"), os.path.join(work, label, "image")
    os.makedirs(mount_side)
    os.makedirs(image_side)
    image = os.path.join(image_side, NAME)
    with open(image, "wb") as f:
        f.truncate(size)
    subprocess.run(["mkntfs", "-F", "-Q"] + mkntfs + [image], check=True, capture_output=True)
    mount = os.path.join(mount_side, NAME)
    os.makedirs(mount)
    subprocess.run(["ntfs-3g", image, mount], check=True)
    # (folder, options, how to compare, the bytes expected)
    cases = []
    try:
        build(mount)
        big = os.path.isdir(os.path.join(mount, "big"))
        runs = [(folder, options + (["--exclude", "big"] if big else [])) for folder in folders for options in OPTIONS]
        # The whole volume too, its large folders put in name order.
        for folder in folders:
            # The whole walk, put right, is replayed with each set of options
            # below (a replay applies them as a walk does).
            source = os.path.join(NAME, folder) if folder else NAME
            out = os.path.join(mount_side, "walk")
            assert run(["--format", "jsonl", "--output", out, source], mount_side).returncode == 0
            cases.append((folder, None, "replay", corrected(read(out), mount_side, BIG)))
        for folder, options in runs:
            source = os.path.join(NAME, folder) if folder else NAME
            out = os.path.join(mount_side, "walk")
            assert run(options + ["--format", "efu", "--output", out, source], mount_side).returncode == 0
            cases.append((folder, options, "efu", corrected_efu(read(out), mount_side)))
            # Formats that carry no creation time unless asked are compared
            # with the walk's own bytes too, but for the files where the
            # mount cannot agree.
            if "created" not in " ".join(options):
                plain = options + ["--exclude", "junction", "--exclude", "streams.txt"]
                for fmt in ["text", "html", "ncdu"]:
                    assert run(plain + ["--format", fmt, "--output", out, source], mount_side).returncode == 0
                    cases.append((folder, plain, fmt, read(out)))
    finally:
        subprocess.run(["umount", mount], check=True)

    for folder, options, how, expected in cases:
        if how != "replay":
            what = f"{label} {folder or '/'} {' '.join(options)}"
            args = options + ["--volume", NAME] + ([folder] if folder else [])
            out = os.path.join(image_side, "vol." + how)
            proc = run(args + ["--format", how, "--output", out], image_side)
            if proc.returncode != 0 or read(out) != expected:
                failures.append(f"{what} {how}: differs from the walk ({proc.stderr.decode()})")
            continue
        # Every other format of the volume against the replay of the
        # corrected walk, which a direct run writes byte for byte.
        ref = os.path.join(image_side, "ref.jsonl")
        write(ref, expected)
        for options in [o for f, o in runs if f == folder] + ([[]] if folder == "" and big else []):
            what = f"{label} {folder or '/'} {' '.join(options)}"
            args = options + ["--volume", NAME] + ([folder] if folder else [])
            for fmt in FORMATS:
                want, got = os.path.join(image_side, "want." + fmt), os.path.join(image_side, "got." + fmt)
                replay = run(options + ["--format", fmt, "--output", want, "--from", ref], image_side)
                assert replay.returncode == 0, replay.stderr
                proc = run(args + ["--format", fmt, "--output", got], image_side)
                if proc.returncode != 0:
                    failures.append(f"{what} {fmt}: exit {proc.returncode}: {proc.stderr.decode()}")
                elif read(got) != read(want):
                    failures.append(f"{what} {fmt}: differs from the corrected walk")
                    if fmt == "jsonl":
                        for a, b in zip(read(want).splitlines(), read(got).splitlines()):
                            if a != b:
                                failures.append(f"  want {a.decode()}\n   got {b.decode()}")
    return failures, image


def check_refusals(work, good_image):
    """Images and arguments that must be refused, each with a clear word."""
    failures = []

    def refused(args, words, what):
        proc = run(args + ["--output", os.path.join(work, "refused.txt")], work)
        text = proc.stderr.decode()
        if proc.returncode != 2 or not all(w in text for w in words):
            failures.append(f"{what}: exit {proc.returncode}: {text}")

    not_ntfs = os.path.join(work, "zeros.img")
    with open(not_ntfs, "wb") as f:
        f.truncate(1 << 20)
    refused(["--volume", not_ntfs], ["not an NTFS volume"], "a volume of zeros")
    refused(["--volume", good_image, "no/such/folder"], ["no folder no/such/folder"], "a missing folder")
    refused(["--volume", good_image, "--hash"], ["--volume"], "hashes from a volume")
    refused(["--volume", good_image, "--format", "mtree"], ["mtree"], "mtree from a volume")
    refused(["--volume", good_image, "--follow-links"], ["links"], "links followed in a volume")
    # A record in use whose last sector was not written with the others.
    torn = os.path.join(work, "torn.img")
    shutil.copyfile(good_image, torn)
    runs, _, cluster, size = mft_facts(torn)
    with open(torn, "r+b") as f:
        number = 0
        for lcn, length in runs:
            for at in range(lcn * cluster, (lcn + length) * cluster, size):
                f.seek(at)
                rec = f.read(size)
                if number >= 16 and rec[:4] == b"FILE" and struct.unpack_from("<H", rec, 0x16)[0] & 1:
                    f.seek(at + size - 2)
                    f.write(bytes([rec[-2] ^ 0xFF, rec[-1]]))
                    f.close()
                    refused(["--volume", torn], [f"record {number}:", "torn"], "a torn record")
                    return failures
                number += 1
    failures.append("no record in use to tear")
    return failures


def main():
    missing = [t for t in ("mkntfs", "ntfs-3g") if not shutil.which(t)]
    if os.getuid() != 0 or not os.path.exists("/dev/fuse") or missing:
        print(f"skipped: needs root, /dev/fuse and {' '.join(missing) or 'mkntfs, ntfs-3g'}")
        return SKIP
    failures = []
    with tempfile.TemporaryDirectory() as work:
        f1, image = check_image(work, "main", ["-c", str(CLUSTER)], 64 << 20, lambda root: make_tree(root, 900),
                                folders=("", "many-b", "level00/level01"))
        failures += f1
        # The tree has the cases it is meant to have.
        runs, with_list, _, _ = mft_facts(image)
        if len(runs) < 2:
            failures.append(f"the file table is in one piece: {runs}")
        if with_list == 0:
            failures.append("no record has an attribute list")
        print(f"main image: file table in {len(runs)} runs, {with_list} records with attribute lists")
        # 4 KiB sectors; clusters of 512 bytes, smaller than a record.
        for label, options in [("sector4k", ["-s", "4096", "-c", "4096"]), ("cluster512", ["-c", "512"])]:
            failures += check_image(work, label, options, 24 << 20, small_tree)[0]
        failures += check_refusals(work, image)
    for f in failures:
        print("FAIL", f)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
