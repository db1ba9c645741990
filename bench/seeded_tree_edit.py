#!/usr/bin/python3
"""Changes a copy of a folder tree in scattered, repeatable ways.

    seeded_tree_edit.py TREE [SEED] [SCALE]

About SCALE in a thousand files each (default 4): edited (bytes inserted,
so the size changes), edited in place (one byte changed, same size),
removed, renamed to other letter case, and as many new files added in
existing folders. The same seed on the same tree always gives the same
changes. Prints what it did.
"""
import os
import random
import sys


def main():
    root = sys.argv[1]
    rng = random.Random(int(sys.argv[2]) if len(sys.argv) > 2 else 1)
    scale = float(sys.argv[3]) if len(sys.argv) > 3 else 4.0
    files, folders = [], []
    for folder, dirs, names in os.walk(root):
        dirs.sort()
        folders.append(folder)
        for name in sorted(names):
            path = os.path.join(folder, name)
            if os.path.isfile(path) and not os.path.islink(path):
                files.append(path)
    rng.shuffle(files)
    n = max(1, int(len(files) * scale / 1000))
    done = {"edited": 0, "same-size": 0, "removed": 0, "case-renamed": 0, "added": 0}
    pick = iter(files)

    for path in (next(pick) for _ in range(n)):
        data = open(path, "rb").read()
        at = rng.randrange(len(data) + 1)
        open(path, "wb").write(data[:at] + b"edited %d\n" % rng.randrange(10**6) + data[at:])
        done["edited"] += 1
    for path in (next(pick) for _ in range(n)):
        data = bytearray(open(path, "rb").read())
        if not data:
            continue
        at = rng.randrange(len(data))
        data[at] ^= 1 << rng.randrange(8)
        open(path, "wb").write(data)
        done["same-size"] += 1
    for path in (next(pick) for _ in range(n)):
        os.remove(path)
        done["removed"] += 1
    for path in (next(pick) for _ in range(n)):
        folder, name = os.path.split(path)
        other = name.swapcase()
        if other == name or os.path.exists(os.path.join(folder, other)):
            continue
        os.rename(path, os.path.join(folder, other))
        done["case-renamed"] += 1
    for i in range(n):
        folder = folders[rng.randrange(len(folders))]
        path = os.path.join(folder, "added-%d-%d.txt" % (i, rng.randrange(10**6)))
        if os.path.exists(path):
            continue
        with open(path, "wb") as f:
            f.write(bytes(rng.randrange(256) for _ in range(rng.randrange(1, 4096))))
        done["added"] += 1
    print(", ".join("%s %d" % (k, v) for k, v in done.items()))


if __name__ == "__main__":
    main()
