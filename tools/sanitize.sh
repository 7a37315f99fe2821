#!/bin/sh
# Builds everything with AddressSanitizer and UndefinedBehaviorSanitizer into
# build-sanitize/ (or $STEPCOUNT_SANITIZE_BUILD_DIR) and runs every test
# there. Any sanitizer report fails the test that caused it.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build=${STEPCOUNT_SANITIZE_BUILD_DIR:-$root/build-sanitize}
STEPCOUNT_BUILD_DIR=$build "$root/tools/setup.sh" -DSTEPCOUNT_SANITIZE=ON \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo
export ASAN_OPTIONS=detect_leaks=1:detect_stack_use_after_return=1:strict_string_checks=1:abort_on_error=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
cd "$build"
ctest --output-on-failure --parallel "$(nproc 2>/dev/null || echo 2)"
