#!/usr/bin/env python3
"""Writes benchmark trees and their launcher manifests.

  make_data.py tree DIR COUNT SIZE [COUNT SIZE ...]   files of random bytes in nested folders
  make_data.py manifest DIR OUT [--big]               DIR's files as path|size|sha1 lines
  make_data.py lines OUT COUNT                        a manifest of COUNT entry lines
  make_data.py next-archive OLD NEW CHANGED           NEW: OLD with 16 scattered 1 MiB
      rewrites, 4 MiB inserted in the middle and 8 MiB appended; CHANGED gets one range of
      that many new bytes (28 MiB), the bytes a perfect sync would fetch
"""
import hashlib
import os
import sys


def tree(root, groups):
    index = 0
    for count, size in groups:
        for _ in range(count):
            folder = os.path.join(root, f"set{index % 8}", f"part {index % 5}")
            os.makedirs(folder, exist_ok=True)
            with open(os.path.join(folder, f"file{index:06d}.dat"), "wb") as f:
                left = size
                while left > 0:
                    chunk = min(left, 1 << 20)
                    f.write(os.urandom(chunk))
                    left -= chunk
            index += 1


def manifest(root, out, big):
    lines = []
    for folder, _, names in os.walk(root):
        for name in names:
            path = os.path.join(folder, name)
            rel = os.path.relpath(path, root).replace(os.sep, "/")
            size = os.path.getsize(path)
            if big:
                digest = "big"
            else:
                h = hashlib.sha1()
                with open(path, "rb") as f:
                    for block in iter(lambda: f.read(1 << 20), b""):
                        h.update(block)
                digest = h.hexdigest()
            lines.append(f"{rel}|{size}|{digest}\n")
    lines.sort()
    with open(out, "w", encoding="latin-1") as f:
        f.writelines(lines)


def many_lines(out, count):
    with open(out, "w") as f:
        for i in range(count):
            f.write(f"data/set{i % 97}/file{i:07d}.dat|{i * 13}|{'%040x' % (i * 2654435761)}\n")


def next_archive(old, new, changed):
    size = os.path.getsize(old)
    mib = 1 << 20
    rewrites = {(i * 2 + 1) * size // 33 // mib * mib for i in range(16)}
    middle = size // 2 // mib * mib + 12345
    with open(old, "rb") as src, open(new, "wb") as dst:
        at = 0
        while at < size:
            if at == middle:
                dst.write(os.urandom(4 * mib))
            end = min(size, (at // mib + 1) * mib)
            if at < middle < end:
                end = middle
            data = src.read(end - at)
            dst.write(os.urandom(len(data)) if at in rewrites else data)
            at = end
        dst.write(os.urandom(8 * mib))
    with open(changed, "wb") as f:
        f.write(os.urandom(28 * mib))


def main():
    command = sys.argv[1]
    if command == "tree":
        numbers = [int(x) for x in sys.argv[3:]]
        tree(sys.argv[2], list(zip(numbers[0::2], numbers[1::2])))
    elif command == "manifest":
        manifest(sys.argv[2], sys.argv[3], "--big" in sys.argv[4:])
    elif command == "next-archive":
        next_archive(sys.argv[2], sys.argv[3], sys.argv[4])
    elif command == "lines":
        many_lines(sys.argv[2], int(sys.argv[3]))
    else:
        sys.exit(__doc__)


if __name__ == "__main__":
    main()
