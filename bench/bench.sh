#!/bin/sh
# Speed and memory figures of stepcount beside the floor (a program that only
# reads every file) and cloc, on a generated tree, a 2 GiB file and a file
# that is one 512 MiB line; and of comparing the tree with its next version
# and pairs of files of 200,000 steps (stepcount --diff, beside counting both
# versions and cloc --diff); and of counting and comparing the revisions of
# a git repository of the tree and its next version beside their checkouts
# (bench_git.py). Not part of the tests.
#
#   bench/bench.sh [FILES [RUNS]]   FILES: files in the tree (default 33000,
#                                   about 310 MB); RUNS: runs per figure
#                                   (default 5, the median is printed)
#
# Generated data goes to $BENCH_DIR (default /tmp/stepcount-bench, about
# 3 GB) and is kept for the next run. Builds stepcount into $STEPCOUNT_BUILD_DIR
# (default build/) and installs cloc, GNU time and python3 from Debian's
# packages when missing.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build=${STEPCOUNT_BUILD_DIR:-$root/build}
files=${1:-33000}
runs=${2:-5}
work=${BENCH_DIR:-/tmp/stepcount-bench}

"$root/tools/setup.sh" >/dev/null
"$root/tools/install_packages.sh" cloc time python3

mkdir -p "$work"
floor="$work/read_floor"
if [ ! -x "$floor" ] || [ "$root/bench/read_floor.cpp" -nt "$floor" ]; then
    g++ -std=c++20 -O2 -pthread -o "$floor" "$root/bench/read_floor.cpp"
fi

exec python3 "$root/bench/bench.py" "$build/stepcount" "$floor" "$work" "$files" "$runs"
