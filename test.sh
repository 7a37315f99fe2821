#!/bin/sh
# Builds everything and runs every test.
set -eu
root=$(cd "$(dirname "$0")" && pwd)
build=${STEPCOUNT_BUILD_DIR:-$root/build}
"$root/tools/setup.sh"
cd "$build"
ctest --output-on-failure --parallel "$(nproc 2>/dev/null || echo 2)"
