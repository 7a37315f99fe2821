#!/usr/bin/env python3
"""Runs the benchmark (see bench.sh) and prints its figures.

  bench.py STEPCOUNT READ_FLOOR WORK FILES RUNS

Wall time is measured around each run; CPU time (user + system) and peak
memory (maximum resident set) are what GNU time (/usr/bin/time) reports for
the process. Each figure is the median of RUNS runs (the peak: the largest), the
settings on the tree taking turns run after run; cloc runs once.
"""
import os
import filecmp
import shutil
import subprocess
import sys
import time

stepcount, floor, work, files, runs = sys.argv[1], sys.argv[2], sys.argv[3], int(sys.argv[4]), int(sys.argv[5])
here = os.path.dirname(os.path.abspath(__file__))
cores = os.cpu_count() or 1
tree = os.path.join(work, "tree-%d" % files)
tree_next = tree + "-v2"
pairs = os.path.join(work, "pairs")
big_dir = os.path.join(work, "big")
line_dir = os.path.join(work, "line")
result = os.path.join(work, "result.csv")


def generate():
    if not os.path.isdir(tree):
        print("Generating the tree (%d files) in %s ..." % (files, tree), flush=True)
        subprocess.run([sys.executable, os.path.join(here, "make_tree.py"), tree + ".part", str(files)], check=True)
        os.rename(tree + ".part", tree)
    if not os.path.isdir(tree_next):
        print("Generating the next version of the tree in %s ..." % tree_next, flush=True)
        subprocess.run([sys.executable, os.path.join(here, "make_tree_version.py"), tree, tree_next + ".part"], check=True)
        os.rename(tree_next + ".part", tree_next)
    if not os.path.isfile(os.path.join(pairs, "other.c")):
        print("Generating the file pairs in %s ..." % pairs, flush=True)
        os.makedirs(pairs, exist_ok=True)
        subprocess.run([sys.executable, os.path.join(here, "make_diff_pair.py"), pairs], check=True)
    # Each file of a pair in a folder of its own, under the same name.
    for folder, source in (("old", "old.c"), ("new", "new.c"), ("other", "other.c"),
                           ("twokeys-a", "twokeys-a.c"), ("twokeys-b", "twokeys-b.c")):
        target = os.path.join(pairs, folder, "x.c")
        if not os.path.exists(target):
            os.makedirs(os.path.dirname(target), exist_ok=True)
            os.link(os.path.join(pairs, source), target)
    for folder, option, name, mib in ((big_dir, "--big", "big.c", 2048), (line_dir, "--line", "line.c", 512)):
        path = os.path.join(folder, name)
        if not os.path.isfile(path) or os.path.getsize(path) != mib << 20:
            print("Generating %s (%d MiB) ..." % (path, mib), flush=True)
            os.makedirs(folder, exist_ok=True)
            subprocess.run([sys.executable, os.path.join(here, "make_tree.py"), option, path, str(mib)], check=True)


def measure_once(command):
    """Wall seconds, CPU seconds and peak KiB of one run of `command`."""
    if os.path.exists(result):
        os.remove(result)
    # The kernel's own accounting of a child of this process would count the
    # memory of the Python process it was forked from; GNU time's child is
    # forked from GNU time, which is small.
    timing = os.path.join(work, "time.txt")
    start = time.perf_counter()
    process = subprocess.run(["/usr/bin/time", "-f", "%U %S %M", "-o", timing] + command,
                             stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
    wall = time.perf_counter() - start
    if process.returncode != 0:
        sys.exit("failed (%d): %s\n%s" % (process.returncode, " ".join(command), process.stderr.decode(errors="replace")))
    with open(timing) as figures:
        user, system, kib = figures.read().split()[-3:]
    return wall, float(user) + float(system), int(kib)


def median(values):
    values = sorted(values)
    middle = len(values) // 2
    return values[middle] if len(values) % 2 else (values[middle - 1] + values[middle]) / 2


def measure(command, times):
    samples = [measure_once(command) for _ in range(times)]
    return median([s[0] for s in samples]), median([s[1] for s in samples]), max(s[2] for s in samples)


def bytes_of(folder):
    total = count = 0
    for base, _, names in os.walk(folder):
        for name in names:
            total += os.path.getsize(os.path.join(base, name))
            count += 1
    return count, total


def row(label, figures, floor_wall, floor_one_wall=None):
    wall, cpu, kib = figures
    ratio = "%6.2f" % (wall / floor_wall)
    ratio_one = "%6.2f" % (wall / floor_one_wall) if floor_one_wall else "      "
    print("%-40s %8.3f %8.3f %9.1f   %s  %s" % (label, wall, cpu, kib / 1024.0, ratio, ratio_one), flush=True)


def heading(title, last=("/floor", "/floor1")):
    print()
    print(title)
    print("%-40s %8s %8s %9s   %6s  %6s" % (("", "wall s", "CPU s", "peak MiB") + tuple(last)))


def stepcount_command(arguments, folder):
    return [stepcount, "-q"] + arguments + ["-o", result, folder]


def diff_command(arguments, old, new):
    return [stepcount, "-q"] + arguments + ["-o", result, "--diff", old, new]


def compare_versions(times):
    """The comparison of two versions of the tree beside counting both, and
    of pairs of single files."""
    languages = ["-m", "vb,c,sql,html"]
    settings = []
    for jobs in (["-j", "1"], []):
        settings.append(("count (both versions)", jobs, [stepcount_command(languages + jobs, tree),
                                                          stepcount_command(languages + jobs, tree_next)]))
        settings.append(("--diff", jobs, [diff_command(languages + jobs, tree, tree_next)]))
    samples = [[] for _ in settings]
    kept = []
    for _ in range(times):
        for index, (label, jobs, commands) in enumerate(settings):
            figures = [measure_once(command) for command in commands]
            samples[index].append((sum(f[0] for f in figures), sum(f[1] for f in figures), max(f[2] for f in figures)))
            if label == "--diff":
                copy = os.path.join(work, "diff-%d.csv" % index)
                shutil.copyfile(result, copy)
                kept.append(copy)
    figures = [(median([s[0] for s in runs_of]), median([s[1] for s in runs_of]), max(s[2] for s in runs_of))
               for runs_of in samples]
    heading("Comparing two versions of the tree (%s and -v2)" % tree, ("", ""))
    for index, ((label, jobs, _), figure) in enumerate(zip(settings, figures)):
        both = figures[index - 1][0] if label == "--diff" else None
        wall, cpu, kib = figure
        ratio = "%6.2f x counting both" % (wall / both) if both else ""
        print("%-40s %8.3f %8.3f %9.1f   %s" % ("stepcount %s %s" % (label, " ".join(jobs) or "(def. -j)"),
                                                wall, cpu, kib / 1024.0, ratio), flush=True)
    same = all(filecmp.cmp(kept[0], other, shallow=False) for other in kept[1:])
    print("Comparison result files of -j 1 and the default: %s" % ("identical" if same else "DIFFERENT"))
    if shutil.which("cloc"):
        figure = measure(["cloc", "--quiet", "--diff", "--csv", "--out=" + os.path.join(work, "cloc-diff.csv"),
                          tree, tree_next], 1)
        print("%-40s %8.3f %8.3f %9.1f" % ("cloc --diff --csv (1 run)", figure[0], figure[1], figure[2] / 1024.0),
              flush=True)

    heading("Comparing two versions of a file (%s)" % pairs, ("figures of the row", ""))
    for label, old, new in (("200,000 steps, a tenth changed", "old", "new"),
                            ("200,000 steps, unrelated", "old", "other"),
                            ("20,000 steps, two keys reversed", "twokeys-a", "twokeys-b")):
        figure = measure(diff_command(["-l", "c"], os.path.join(pairs, old), os.path.join(pairs, new)), times)
        with open(result, "rb") as f:
            row = f.read().split(b"\r\n")[-3].decode("cp932")
        print("%-40s %8.3f %8.3f %9.1f   %s" % (label, figure[0], figure[1], figure[2] / 1024.0, row.split(",", 5)[5]),
              flush=True)


def main():
    generate()
    count, total = bytes_of(tree)
    load = os.getloadavg()
    print()
    print("Tree: %d files, %.1f MB (%s); %d cores; load average before: %.2f %.2f %.2f"
          % (count, total / 1e6, tree, cores, load[0], load[1], load[2]))
    print("Median of %d runs each, warm cache; /floor = wall / floor's wall,"
          " /floor1 = wall / floor's single-thread wall." % runs)

    # Warm the cache: read everything once.
    for folder in (tree, big_dir, line_dir):
        measure_once([floor, folder])

    # The settings take turns, run after run, so that a burst of other work on
    # the machine falls on all of them alike rather than on one.
    tree_settings = [("floor (read only, %d threads)" % cores, [floor, tree], None),
                     ("floor (read only, 1 thread)", [floor, "-j", "1", tree], None)]
    for arguments in (["-m", "vb,c,sql,html"], ["-l", "c"], ["-l", "cobol"]):
        for jobs in (["-j", "1"], []):
            label = "stepcount %s %s" % (" ".join(arguments), " ".join(jobs) or "(default -j)")
            tree_settings.append((label, stepcount_command(arguments + jobs, tree), arguments))
    samples = [[] for _ in tree_settings]
    outputs = {}
    for _ in range(runs):
        for index, (label, command, arguments) in enumerate(tree_settings):
            samples[index].append(measure_once(command))
            if arguments is not None:
                kept = os.path.join(work, "result-%d.csv" % index)
                shutil.copyfile(result, kept)
                outputs.setdefault(tuple(arguments), []).append(kept)
    figures = [(median([s[0] for s in runs_of]), median([s[1] for s in runs_of]), max(s[2] for s in runs_of))
               for runs_of in samples]

    heading("Tree")
    floor_fig, floor_one = figures[0], figures[1]
    for (label, command, arguments), figure in zip(tree_settings, figures):
        single = "-j" in command and command[command.index("-j") + 1] == "1"
        row(label, figure, floor_fig[0], floor_one[0] if single else None)
    same = all(filecmp.cmp(kept[0], other, shallow=False) for kept in outputs.values() for other in kept[1:])
    print("Result files of -j 1 and the default: %s" % ("identical" if same else "DIFFERENT"))

    if shutil.which("cloc"):
        cloc_out = os.path.join(work, "cloc.csv")
        figures = measure(["cloc", "--quiet", "--by-file", "--csv", "--out=" + cloc_out, tree], 1)
        row("cloc --by-file --csv (1 run)", figures, floor_fig[0], floor_one[0])
    else:
        print("cloc: not installed")

    compare_versions(runs)

    heading("One 2 GiB file (%s)" % big_dir)
    floor_big = measure([floor, big_dir], runs)
    row("floor", floor_big, floor_big[0])
    row("stepcount -l c", measure(stepcount_command(["-l", "c"], big_dir), runs), floor_big[0])

    heading("One file that is a single 512 MiB line (%s)" % line_dir)
    floor_line = measure([floor, line_dir], runs)
    row("floor", floor_line, floor_line[0])
    row("stepcount -l c", measure(stepcount_command(["-l", "c"], line_dir), runs), floor_line[0])

    # Revisions of a git repository beside their checkouts (bench_git.py).
    import bench_git
    same = bench_git.run(sys.modules[__name__]) and same

    load = os.getloadavg()
    print()
    print("Load average after: %.2f %.2f %.2f" % load)
    if os.path.exists(result):
        os.remove(result)
    return 0 if same else 1


if __name__ == "__main__":
    sys.exit(main())
