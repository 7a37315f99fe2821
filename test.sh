#!/bin/sh
# Builds everything and runs every test: first in the normal build, then
# again in a build with AddressSanitizer and UndefinedBehaviorSanitizer
# (tools/sanitize.sh), then cross-built for Windows under Wine
# (tools/windows_test.sh). STEPCOUNT_SANITIZE=0 leaves out the second round,
# STEPCOUNT_WINDOWS=0 the third.
set -eu
root=$(cd "$(dirname "$0")" && pwd)
build=${STEPCOUNT_BUILD_DIR:-$root/build}
"$root/tools/setup.sh"
(cd "$build" && ctest --output-on-failure --parallel "$(nproc 2>/dev/null || echo 2)")
if [ "${STEPCOUNT_SANITIZE:-1}" != 0 ]; then
    "$root/tools/sanitize.sh"
fi
if [ "${STEPCOUNT_WINDOWS:-1}" != 0 ]; then
    "$root/tools/windows_test.sh"
fi
