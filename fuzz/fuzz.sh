#!/bin/sh
# Fuzzes the counters, the type checks and the pack reader with libFuzzer.
#
#   fuzz/fuzz.sh [SECONDS] [TARGET...]
#
# Runs each target (default: vb c sql html cobol type_check pack) for SECONDS
# (default 600), two at a time, at the lowest priority, starting from the seed
# corpus in fuzz/corpus/TARGET and the samples of its language. New inputs go to $build/corpus/TARGET, inputs
# that crash or break an invariant to $build/findings/TARGET. Prints the
# executions and findings of each target; exits 1 when anything was found.
# Installs clang and its fuzzing runtime with apt-get when they are missing.
#
# Environment: STEPCOUNT_FUZZ_BUILD_DIR (default build-fuzz), FUZZ_JOBS
# (targets at a time, default 2).
set -eu

root=$(cd "$(dirname "$0")/.." && pwd)
build=${STEPCOUNT_FUZZ_BUILD_DIR:-$root/build-fuzz}
seconds=${1:-600}
[ $# -gt 0 ] && shift
targets=${*:-vb c sql html cobol type_check pack}
jobs=${FUZZ_JOBS:-2}

"$root/tools/install_packages.sh" clang-14 libclang-rt-14-dev cmake make

CXX=clang++-14 cmake -S "$root" -B "$build" -DSTEPCOUNT_FUZZ=ON \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
nice -n 19 cmake --build "$build" --parallel 2 >&2

# Runs one target; its log goes to $build/logs/TARGET.log.
fuzz_one() {
    target=$1
    mkdir -p "$build/corpus/$target" "$build/findings/$target" "$build/logs"
    # The first corpus folder receives the new inputs; the seeds (and the
    # bundled samples of the language) stay as they are.
    samples=""
    [ -d "$root/samples/$target" ] && samples="$root/samples/$target"
    # shellcheck disable=SC2086
    nice -n 19 "$build/fuzz_$target" -max_total_time="$seconds" -print_final_stats=1 \
        -timeout=10 -rss_limit_mb=1024 -artifact_prefix="$build/findings/$target/" \
        "$build/corpus/$target" "$root/fuzz/corpus/$target" $samples \
        >"$build/logs/$target.log" 2>&1 || true
}

running=0
for target in $targets; do
    fuzz_one "$target" &
    running=$((running + 1))
    if [ "$running" -ge "$jobs" ]; then
        wait
        running=0
    fi
done
wait

status=0
printf '%-12s %8s %14s %10s %9s\n' target seconds executions "exec/s" findings
for target in $targets; do
    log="$build/logs/$target.log"
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
    rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -n 1)
    time=$(sed -n 's/^Done [0-9]* runs in \([0-9]*\) second.*/\1/p' "$log" | tail -n 1)
    findings=$(find "$build/findings/$target" -type f | wc -l)
    printf '%-12s %8s %14s %10s %9s\n' "$target" "${time:-?}" "${runs:-?}" "${rate:-?}" "$findings"
    if [ "$findings" -gt 0 ] || ! grep -q '^Done ' "$log"; then
        status=1
        grep -E 'INVARIANT BROKEN|ERROR: |SUMMARY: ' "$log" | head -n 5 >&2 || true
    fi
done
exit $status
