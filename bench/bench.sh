#!/bin/sh
# Prints speed figures of stepcount: a tree of many small files, one large
# file, and the same tree through other line counters when they are
# installed (cloc, scc, tokei). Not part of the tests.
#
#   bench/bench.sh [FILES]      FILES: files in the generated tree (default 200000)
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build=${STEPCOUNT_BUILD_DIR:-$root/build}
files=${1:-200000}
work=${BENCH_DIR:-/tmp/stepcount-bench}

"$root/tools/setup.sh" 2>/dev/null
bin="$build/stepcount"

mkdir -p "$work"
tree="$work/tree-$files"
if [ ! -d "$tree" ]; then
    echo "Generating $files files under $tree ..."
    python3 "$root/bench/make_tree.py" "$tree" "$files"
fi
big="$work/big/big.c"
if [ ! -f "$big" ]; then
    echo "Generating a 1 GiB C file ..."
    mkdir -p "$work/big"
    python3 "$root/bench/make_tree.py" --big "$big" 1024
fi

# Seconds and peak memory of a command, from GNU time when it is there.
measure() {
    label=$1; shift
    if [ -x /usr/bin/time ]; then
        /usr/bin/time -f "%e %M" -o "$work/time.txt" "$@" >/dev/null 2>&1 || true
        read -r seconds kib < "$work/time.txt"
    else
        start=$(date +%s.%N); "$@" >/dev/null 2>&1 || true; end=$(date +%s.%N)
        seconds=$(echo "$end - $start" | bc); kib="?"
    fi
    printf '%-44s %8s s %10s KiB peak\n' "$label" "$seconds" "$kib"
}

sync
cat "$big" > /dev/null   # warm the page cache
find "$tree" -type f -exec cat {} + > /dev/null
echo
echo "Tree: $files files; large file: $(du -h "$big" | cut -f1)"
rm -f "$work/result.csv"
measure "stepcount -l c (tree)" "$bin" -q -l c -o "$work/result.csv" "$tree"
rm -f "$work/result.csv"
measure "stepcount -m vb,c,sql,html (tree)" "$bin" -q -m vb,c,sql,html -o "$work/result.csv" "$tree"
rm -f "$work/result.csv"
measure "stepcount -l c (1 GiB file)" "$bin" -q -l c -o "$work/result.csv" "$work/big"
for other in cloc scc tokei; do
    if command -v "$other" >/dev/null 2>&1; then
        measure "$other (tree)" "$other" "$tree"
        measure "$other (1 GiB file)" "$other" "$big"
    fi
done
rm -f "$work/result.csv" "$work/time.txt"
