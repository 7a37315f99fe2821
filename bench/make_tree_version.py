#!/usr/bin/env python3
"""Makes the next version of a generated tree, the same bytes on every run.

  make_tree_version.py TREE NEXT

NEXT receives TREE with about a tenth of its files edited, as a maintenance
release would: lines changed in place, inserted and deleted in small groups,
blocks moved, whole files re-indented; and about 2% of the files added, 2%
removed and 2% renamed. Unchanged files are hard links to TREE's, so the
second version takes little room.
"""
import os
import random
import sys


def edited(lines, rng):
    lines = list(lines)
    kind = rng.random()
    if kind < 0.1 and lines:
        # Re-indented: no step changes.
        return [b"    " + line if line.strip() else line for line in lines]
    edits = max(1, len(lines) // 10)
    for _ in range(edits):
        if not lines:
            break
        at = rng.randrange(len(lines))
        action = rng.random()
        if action < 0.5:
            lines[at] = lines[at].rstrip() + b" /* changed */" if rng.random() < 0.5 else b"    value = compute(value, %d);" % rng.randrange(1000)
        elif action < 0.7:
            lines[at:at] = [b"    added_step(%d);" % rng.randrange(100000) for _ in range(rng.randint(1, 4))]
        elif action < 0.85:
            del lines[at:at + rng.randint(1, 4)]
        else:
            block = lines[at:at + rng.randint(3, 12)]
            del lines[at:at + len(block)]
            to = rng.randrange(len(lines) + 1)
            lines[to:to] = block
    return lines


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    tree, nxt = sys.argv[1], sys.argv[2]
    rng = random.Random(20261207)
    for base, folders, names in os.walk(tree):
        folders.sort()
        relative = os.path.relpath(base, tree)
        target = os.path.join(nxt, relative)
        os.makedirs(target, exist_ok=True)
        for name in sorted(names):
            source = os.path.join(base, name)
            roll = rng.random()
            if roll < 0.02:
                continue  # removed
            out_name = name
            if roll < 0.04:
                stem, dot, ext = name.rpartition(".")
                out_name = (stem + "_renamed" + dot + ext) if dot else name + "_renamed"
            destination = os.path.join(target, out_name)
            if 0.04 <= roll < 0.14:
                with open(source, "rb") as f:
                    data = f.read()
                ending = b"\r\n" if b"\r\n" in data else b"\n"
                lines = data.split(ending)
                with open(destination, "wb") as f:
                    f.write(ending.join(edited(lines, rng)))
            else:
                os.link(source, destination)
            if roll > 0.98:
                # A new file beside it: a copy of it with other lines.
                with open(source, "rb") as f:
                    data = f.read()
                ending = b"\r\n" if b"\r\n" in data else b"\n"
                with open(os.path.join(target, "new_" + name), "wb") as f:
                    f.write(ending.join(edited(data.split(ending), rng)))


if __name__ == "__main__":
    main()
