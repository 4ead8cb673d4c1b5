#!/usr/bin/env python3
"""Writes a package tree for the benchmark, the same bytes for the same
arguments.

  make-tree.py small DEST FILES   FILES files of 1 to 16 KiB in about
                                  FILES/25 folders, some 8 levels deep
  make-tree.py large DEST MIB     MIB MiB in files of 64 MiB (the last
                                  one smaller when MIB is not a multiple)
  make-tree.py mixed DEST         1,000 small files and 2 files of 64 MiB
"""
import os
import random
import sys

KIB = 1024
MIB = 1024 * KIB


def folders_for(root, count, rng):
    """`count` folders below `root`: a spine 8 levels deep, the rest at
    depths of 1 to 8 under random earlier folders (below 4 only on the
    spine)."""
    folders = [root]
    spine = root
    for level in range(8):
        spine = os.path.join(spine, "deep%d" % level)
        folders.append(spine)
    while len(folders) < count:
        parent = rng.choice(folders[: max(9, len(folders) // 2)])
        depth = parent.count(os.sep) - root.count(os.sep)
        if depth >= 8 or (depth >= 4 and parent not in folders[:9]):
            parent = root
        folders.append(os.path.join(parent, "dir%04d" % len(folders)))
    for folder in folders:
        os.makedirs(folder, exist_ok=True)
    return folders


def small(dest, files):
    rng = random.Random(files)
    pool = rng.randbytes(16 * KIB * 4)
    folders = folders_for(dest, max(1, files // 25), rng)
    for i in range(files):
        size = rng.randint(1 * KIB, 16 * KIB)
        start = rng.randint(0, len(pool) - size)
        folder = folders[i % len(folders)]
        with open(os.path.join(folder, "file%05d.dat" % i), "wb") as out:
            out.write(pool[start:start + size])


def large(dest, mib):
    rng = random.Random(mib)
    block = rng.randbytes(MIB)
    os.makedirs(dest, exist_ok=True)
    left, index = mib, 0
    while left > 0:
        part = min(64, left)
        with open(os.path.join(dest, "big%02d.bin" % index), "wb") as out:
            for _ in range(part):
                out.write(block)
        left -= part
        index += 1


def main(argv):
    if len(argv) < 3 or argv[1] not in ("small", "large", "mixed"):
        sys.exit(__doc__)
    kind, dest = argv[1], argv[2]
    if kind == "small":
        small(dest, int(argv[3]))
    elif kind == "large":
        large(dest, int(argv[3]))
    else:
        small(os.path.join(dest, "many"), 1000)
        large(os.path.join(dest, "big"), 128)


if __name__ == "__main__":
    main(sys.argv)
