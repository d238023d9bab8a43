#!/usr/bin/env python3
"""--hash --reuse: a file's hash comes from the earlier listing only where
the file provably did not change. A file rewritten behind the same size and
modified time is read again (its change time moved); a listing without
stamps, or one that is not valid, gives nothing to reuse.

usage: reuse_check.py TALLYFOLD_LIST
"""
import json
import os
import subprocess
import sys
import tempfile
import time

LIST = sys.argv[1]
FAKE = "xxh128:" + "0" * 32


def run(*args, expect=0):
    proc = subprocess.run([LIST, *args], capture_output=True)
    assert proc.returncode == expect, (args, proc)
    return proc


def hashes(path):
    with open(path) as f:
        return {r["name"]: r.get("hash") for r in map(json.loads, f) if r["kind"] == "file"}


def rewrite(path, records, out):
    with open(out, "w") as f:
        for r in records:
            f.write(json.dumps(r, separators=(",", ":"), ensure_ascii=False) + "\n")


def main():
    with tempfile.TemporaryDirectory() as work:
        src = os.path.join(work, "src")
        os.makedirs(os.path.join(src, "sub"))
        names = ["same", "rewritten", os.path.join("sub", "deep")]
        for i, name in enumerate(names):
            with open(os.path.join(src, name), "wb") as f:
                f.write(b"first %d\n" % i)
        # A stamp is kept only once the file has stood still for a moment.
        time.sleep(2.2)
        first = os.path.join(work, "first.jsonl")
        run("--hash", "--format", "jsonl", "--output", first, src)
        with open(first) as f:
            records = [json.loads(line) for line in f]
        files = [r for r in records if r["kind"] == "file"]
        assert all("stamp" in r for r in files), files
        # The recorded hashes are made false, so that a hash taken from
        # there shows: only files that did not change may carry one.
        for r in files:
            r["hash"] = FAKE
        earlier = os.path.join(work, "earlier.jsonl")
        rewrite(first, records, earlier)

        target = os.path.join(src, "rewritten")
        st = os.stat(target)
        with open(target, "r+b") as f:
            f.write(b"other")
        os.utime(target, ns=(st.st_atime_ns, st.st_mtime_ns))
        after = os.stat(target)
        assert (after.st_size, after.st_mtime_ns, after.st_ino) == (st.st_size, st.st_mtime_ns, st.st_ino)

        fresh = os.path.join(work, "fresh.jsonl")
        run("--hash", "--format", "jsonl", "--output", fresh, src)
        second = os.path.join(work, "second.jsonl")
        run("--hash", "--reuse", earlier, "--format", "jsonl", "--output", second, src)
        got, real = hashes(second), hashes(fresh)
        assert got["same"] == FAKE and got["deep"] == FAKE, got
        assert got["rewritten"] == real["rewritten"] != hashes(first)["rewritten"], (got, real)
        # The earlier listing may come through a pipe, which is read once.
        with open(earlier, "rb") as f:
            piped = subprocess.run([LIST, "--hash", "--reuse", "/dev/stdin", "--format", "jsonl", "--output",
                                    second, src], input=f.read(), capture_output=True)
        assert piped.returncode == 0 and hashes(second) == got, (piped, hashes(second))
        # The reused files keep their stamps for the next run; a replay
        # keeps every field.
        replayed = os.path.join(work, "replayed.jsonl")
        run("--from", second, "--format", "jsonl", "--output", replayed)
        with open(second, "rb") as a, open(replayed, "rb") as b:
            assert a.read() == b.read()

        # A listing made before stamps were kept reuses nothing.
        for r in records:
            r.pop("stamp", None)
        old = os.path.join(work, "old.jsonl")
        rewrite(first, records, old)
        run("--hash", "--reuse", old, "--format", "jsonl", "--output", second, src)
        assert hashes(second) == real

        # A listing that is not one, or no hashing to reuse it for.
        broken = os.path.join(work, "broken.jsonl")
        with open(broken, "w") as f:
            f.write('{"path":\n')
        proc = run("--hash", "--reuse", broken, src, "--output", second, expect=2)
        assert b"broken.jsonl:" in proc.stderr and b"not a valid listing" in proc.stderr, proc.stderr
        run("--reuse", earlier, src, "--output", second, expect=2)
    print("reuse: ok")


if __name__ == "__main__":
    main()
