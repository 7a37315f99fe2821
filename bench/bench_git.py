#!/usr/bin/env python3
"""The revisions of a git repository (stepcount --repo) beside their checkouts.

The benchmark tree and its next version are committed into a bare
repository (tags v1 and v2, packed by git gc as a clone's objects are), kept
in WORK beside the trees. Then, the settings taking turns run after run,
the median of RUNS runs of:

  counting revision v1 against counting the tree itself (its checkout),
  comparing v1 with v2 against comparing the two trees,

with -m vb,c,sql,html, at -j 1 and the default. Targets: a revision within
1.5 x its checkout, a comparison of revisions within 2 x that of the trees,
and a peak memory under 64 MiB. The result files are checked too: the
comparisons must be identical, the counts the same but for the folder
column's root and the dates.

bench.py runs this at its end; alone, with bench.py's arguments:

  bench_git.py STEPCOUNT READ_FLOOR WORK FILES RUNS
"""
import os
import subprocess
import sys

LANGUAGES = ["-m", "vb,c,sql,html"]
PEAK_LIMIT_MIB = 64
COUNT_TARGET = 1.5
DIFF_TARGET = 2.0


def git(repository, *arguments, work_tree=None):
    # No gc of its own in the background: the repository is packed once, below.
    command = ["git", "-c", "gc.auto=0", "--git-dir=" + repository]
    if work_tree:
        command.append("--work-tree=" + work_tree)
    environment = dict(os.environ, GIT_CONFIG_NOSYSTEM="1", GIT_CONFIG_GLOBAL="/dev/null",
                       GIT_AUTHOR_NAME="bench", GIT_AUTHOR_EMAIL="bench@example.com",
                       GIT_COMMITTER_NAME="bench", GIT_COMMITTER_EMAIL="bench@example.com")
    subprocess.run(command + list(arguments), check=True, env=environment,
                   stdout=subprocess.DEVNULL, cwd=work_tree)


def make_repository(bench):
    """The bare repository of the two versions, made once (under another
    name until it is whole)."""
    repository = bench.tree + ".git"
    if os.path.isdir(repository):
        return repository
    print("Committing %s and %s into %s ..." % (bench.tree, bench.tree_next, repository),
          flush=True)
    part = repository + ".part"
    subprocess.run(["rm", "-rf", part], check=True)
    git(part, "init", "-q", "--bare", "-b", "main")
    for folder, tag in ((bench.tree, "v1"), (bench.tree_next, "v2")):
        git(part, "add", "-A", ".", work_tree=folder)
        git(part, "commit", "-q", "-m", tag, work_tree=folder)
        git(part, "tag", tag)
    git(part, "gc", "-q")
    os.rename(part, repository)
    return repository


def normalised_count(content, root):
    """The rows of a count's result file, the root of the folder column
    replaced by ROOT and the dates left out."""
    rows = []
    for line in content.split(b"\r\n"):
        fields = line.split(b",")
        if len(fields) > 4 and fields[2] == b"File":
            fields[4] = b""
        if fields[0] == root or fields[0].startswith(root + b"/"):
            fields[0] = b"ROOT" + fields[0][len(root):]
        rows.append(b",".join(fields))
    return rows


def run(bench):
    repository = make_repository(bench)
    command = [bench.stepcount, "-q"] + LANGUAGES + ["-o", bench.result]
    settings = []
    for jobs in (["-j", "1"], []):
        settings += [(label, jobs, command + jobs + arguments) for label, arguments in (
            ("count the checkout (the tree)", [bench.tree]),
            ("count revision v1 (--repo)", ["--repo", repository, "v1"]),
            ("--diff the two trees", ["--diff", bench.tree, bench.tree_next]),
            ("--diff v1 v2 (--repo)", ["--repo", repository, "--diff", "v1", "v2"]))]
    samples = [[] for _ in settings]
    kept = {}
    for _ in range(bench.runs):
        for index, (_, _, arguments) in enumerate(settings):
            samples[index].append(bench.measure_once(arguments))
            with open(bench.result, "rb") as f:
                kept[index] = f.read()
    figures = [(bench.median([s[0] for s in runs_of]), bench.median([s[1] for s in runs_of]),
                max(s[2] for s in runs_of)) for runs_of in samples]

    bench.heading("Revisions of a git repository (%s, packed) beside their checkouts" % repository,
                  ("x tree", "target"))
    failed = []
    for index, ((label, jobs, _), (wall, cpu, kib)) in enumerate(zip(settings, figures)):
        name = "%s %s" % (label, " ".join(jobs) or "(def. -j)")
        line = "%-40s %8.3f %8.3f %9.1f" % (name, wall, cpu, kib / 1024.0)
        if "--repo" in label:
            ratio = wall / figures[index - 1][0]
            target = COUNT_TARGET if label.startswith("count") else DIFF_TARGET
            line += "   %6.2f  %6.1f" % (ratio, target)
            if ratio > target:
                failed.append("%s: %.2f x" % (name, ratio))
        if kib > PEAK_LIMIT_MIB * 1024:
            failed.append("%s: peak %.1f MiB" % (name, kib / 1024.0))
        print(line, flush=True)

    counts_same = all(normalised_count(kept[i], bench.tree.encode()) ==
                      normalised_count(kept[i + 1], b"v1") for i in (0, 4))
    diffs_same = all(kept[i] == kept[i + 1] for i in (2, 6))
    print("Count of v1 and of its checkout: %s; comparisons of v1 and v2 and of the trees: %s"
          % ("same rows but the dates" if counts_same else "DIFFERENT",
             "identical" if diffs_same else "DIFFERENT"))
    print("Targets (revision <= %.1f x checkout, comparison <= %.1f x, peak < %d MiB): %s"
          % (COUNT_TARGET, DIFF_TARGET, PEAK_LIMIT_MIB, "; ".join(failed) if failed else "met"))
    return counts_same and diffs_same


if __name__ == "__main__":
    sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
    import bench as bench_module  # reads the same arguments
    bench_module.generate()
    sys.exit(0 if run(bench_module) else 1)
