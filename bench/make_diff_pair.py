#!/usr/bin/env python3
"""Writes the input of the alignment benchmark, the same bytes on every run.

  make_diff_pair.py FOLDER [STEPS]

FOLDER receives (STEPS real steps each, default 200,000, no comments; blank
lines between functions):

  old.c         C code: functions of nested blocks, declarations, calls, loops,
                switches, with the usual repeated lines ("}", "break;",
                "return 0;") and varied identifiers
  new.c         old.c with about a tenth of its steps touched: lines edited in
                place, lines inserted and deleted in small groups, a few blocks
                of 50-150 lines moved elsewhere
  other.c       like old.c from another seed: unrelated, though it shares the
                common lines
  shuffled.c    old.c with a tenth of its steps (singly, spread out) replaced by
                copies of other steps of old.c: nothing is set aside, about
                20,000 steps of each side stay unmatched, the most the exact
                alignment promises to cover at this size
  twokeys-a.c   20,000 steps: "a();" 19,999 times, then "b();"
  twokeys-b.c   20,000 steps: "b();" 19,999 times, then "a();"
  random2-a.c   20,000 steps, each "a();" or "b();" at random
  random2-b.c   the same from another seed
"""
import os
import random
import sys

WORDS = ("account amount balance buffer cache count customer data date entry error "
         "file flag header index item key length limit line list message name node "
         "offset order output page price record result row size state status table "
         "text total type user value").split()
TYPES = ["int", "long", "char *", "size_t", "double", "unsigned int", "struct record *"]
COMMON = ["return 0;", "break;", "return -1;", "continue;", "i++;", "return result;"]


def identifier(rng):
    parts = rng.sample(WORDS, rng.choice([1, 2, 2, 3]))
    return "_".join(parts) if rng.random() < 0.5 else parts[0] + "".join(p.title() for p in parts[1:])


def expression(rng):
    kind = rng.random()
    if kind < 0.3:
        return str(rng.choice([0, 1, 2, 10, 16, 100, 255, 1024, rng.randrange(100000)]))
    if kind < 0.6:
        return identifier(rng)
    if kind < 0.8:
        return "%s %s %s" % (identifier(rng), rng.choice("+-*/%"), expression(rng))
    return "%s(%s)" % (identifier(rng), ", ".join(identifier(rng) for _ in range(rng.randrange(3))))


def statement(rng):
    kind = rng.random()
    if kind < 0.25:
        return "%s %s = %s;" % (rng.choice(TYPES), identifier(rng), expression(rng))
    if kind < 0.5:
        return "%s = %s;" % (identifier(rng), expression(rng))
    if kind < 0.75:
        return "%s(%s);" % (identifier(rng), ", ".join(expression(rng) for _ in range(rng.randrange(4))))
    if kind < 0.85:
        return "%s->%s = %s;" % (identifier(rng), identifier(rng), expression(rng))
    return rng.choice(COMMON)


def block(rng, depth, out, budget):
    """Appends (indent, text) lines of one block's body."""
    pad = "    " * depth
    while budget[0] > 0:
        kind = rng.random()
        if depth < 4 and kind < 0.12:
            out.append(pad + "if (%s %s %s) {" % (identifier(rng), rng.choice(["==", "!=", "<", ">="]),
                                                 expression(rng)))
            budget[0] -= 1
            block(rng, depth + 1, out, [rng.randrange(1, 8)])
            if rng.random() < 0.3:
                out.append(pad + "} else {")
                block(rng, depth + 1, out, [rng.randrange(1, 5)])
            out.append(pad + "}")
        elif depth < 4 and kind < 0.18:
            counter = rng.choice(["i", "j", "k", "n"])
            out.append(pad + "for (%s = 0; %s < %s; %s++) {" % (counter, counter, identifier(rng), counter))
            block(rng, depth + 1, out, [rng.randrange(1, 6)])
            out.append(pad + "}")
        elif depth < 3 and kind < 0.21:
            out.append(pad + "switch (%s) {" % identifier(rng))
            for _ in range(rng.randrange(2, 5)):
                out.append(pad + "case %s:" % identifier(rng).upper())
                block(rng, depth + 1, out, [rng.randrange(1, 3)])
                out.append(pad + "    break;")
            out.append(pad + "}")
        else:
            out.append(pad + statement(rng))
        budget[0] -= 1


def program(seed, steps):
    rng = random.Random(seed)
    lines = []
    blanks = 0
    while len(lines) - blanks < steps:
        lines.append("static %s %s(%s)" % (rng.choice(TYPES), identifier(rng),
                                           ", ".join("%s %s" % (rng.choice(TYPES), identifier(rng))
                                                     for _ in range(rng.randrange(4)))))
        lines.append("{")
        block(rng, 1, lines, [rng.randrange(5, 40)])
        lines.append("    return 0;")
        lines.append("}")
        lines.append("")
        blanks += 1
    excess = len(lines) - lines.count("") - steps
    while excess > 0:
        excess -= 1 if lines.pop() else 0
    return lines


def edited(lines, seed):
    """About a tenth of the steps touched, as a maintenance release would."""
    rng = random.Random(seed)
    out = list(lines)
    # A few blocks moved.
    for _ in range(4):
        length = rng.randrange(50, 150)
        start = rng.randrange(len(out) - length)
        moved = out[start:start + length]
        del out[start:start + length]
        at = rng.randrange(len(out))
        out[at:at] = moved
    # Small groups edited in place, deleted and inserted: where they start,
    # what they do and how many lines they take.
    groups = {}
    touched = 0
    steps = len(out) - out.count("")
    while touched < steps // 10 - 600:
        size = rng.randrange(1, 6)
        groups[rng.randrange(len(out))] = (rng.random(), size)
        touched += size
    result = []
    i = 0
    while i < len(out):
        kind, size = groups.get(i, (None, 0))
        if kind is None:
            result.append(out[i])
            i += 1
        elif kind < 0.6:
            for line in out[i:i + size]:
                if line:
                    line = line + " /* v2 */" if rng.random() < 0.5 else line.replace(";", " + 1;", 1)
                result.append(line)
            i += size
        elif kind < 0.8:
            i += size
        else:
            pad = out[i][:len(out[i]) - len(out[i].lstrip())] or "    "
            result.extend(pad + statement(rng) for _ in range(size))
            result.append(out[i])
            i += 1
    return result


def shuffled(lines, seed):
    rng = random.Random(seed)
    steps = [i for i, l in enumerate(lines) if l]
    out = list(lines)
    for at in rng.sample(steps, len(steps) // 10):
        out[at] = lines[rng.choice(steps)]
    return out


def write(folder, name, lines):
    with open(os.path.join(folder, name), "w", newline="\n") as f:
        f.write("\n".join(lines) + "\n")


def main():
    if len(sys.argv) not in (2, 3):
        sys.exit(__doc__)
    folder = sys.argv[1]
    steps = int(sys.argv[2]) if len(sys.argv) == 3 else 200000
    os.makedirs(folder, exist_ok=True)
    old = program(1, steps)
    write(folder, "old.c", old)
    write(folder, "new.c", edited(old, 2))
    write(folder, "other.c", program(3, steps))
    write(folder, "shuffled.c", shuffled(old, 4))
    write(folder, "twokeys-a.c", ["a();"] * 19999 + ["b();"])
    write(folder, "twokeys-b.c", ["b();"] * 19999 + ["a();"])
    for name, seed in (("random2-a.c", 5), ("random2-b.c", 6)):
        rng = random.Random(seed)
        write(folder, name, [rng.choice(["a();", "b();"]) for _ in range(20000)])


if __name__ == "__main__":
    main()
