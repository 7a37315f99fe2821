#!/usr/bin/env python3
"""Generates benchmark input: a tree of small source files of every
language, or one large C file."""
import os
import random
import sys

C_LINES = [
    "/* block comment */", "int value = compute(1, 2);", "", "    // note",
    "    return value * 2;", "/*", " * inside", " */", "\tcall();", "}",
]
SQL_LINES = ["-- comment", "SELECT a, b", "  FROM t", "", "/* x */", "WHERE a = 1;"]
VB_LINES = ["' comment", "Dim x As Long", "", "x = x + 1", "End Sub"]
HTML_LINES = ["<p>text</p>", "<!-- c -->", "", "<script>", "// c", "var a = 1;", "</script>"]
COBOL_LINES = ["000100 IDENTIFICATION DIVISION.", "000200*C", "000300     MOVE A TO B.", "000400"]
KINDS = [(".c", C_LINES), (".java", C_LINES), (".h", C_LINES), (".sql", SQL_LINES),
         (".bas", VB_LINES), (".frm", VB_LINES), (".html", HTML_LINES), (".js", HTML_LINES),
         (".cob", COBOL_LINES), (".txt", ["plain text"])]


def make_tree(root, count):
    rng = random.Random(1)
    per_folder = 100
    for n in range(count):
        folder = os.path.join(root, "d%03d" % (n // 10000), "e%03d" % (n // per_folder % 100))
        if n % per_folder == 0:
            os.makedirs(folder, exist_ok=True)
        ext, lines = KINDS[n % len(KINDS)]
        body = "\n".join(rng.choice(lines) for _ in range(rng.randint(10, 80))) + "\n"
        with open(os.path.join(folder, "f%07d%s" % (n, ext)), "w") as out:
            out.write(body)


def make_big(path, mebibytes):
    block = ("\n".join(C_LINES) + "\n").encode() * 4096
    with open(path, "wb") as out:
        written = 0
        while written < mebibytes << 20:
            out.write(block)
            written += len(block)


if __name__ == "__main__":
    if sys.argv[1] == "--big":
        make_big(sys.argv[2], int(sys.argv[3]))
    else:
        make_tree(sys.argv[1], int(sys.argv[2]))
