#!/bin/sh
# Cross-builds stepcount.exe and the test programs (stepcount_tests.exe and
# the fuzz replay programs) for 64-bit Windows into build-windows/ (or
# $STEPCOUNT_WINDOWS_BUILD_DIR), with Debian's MinGW-w64 and GoogleTest's
# sources; installs those, and Wine to run the programs, when they are
# missing. The window is built only where a Qt 6 for Windows is found.
# Arguments go to CMake's configure step; $STEPCOUNT_WINDOWS_TARGETS, when
# set, names the targets to build (all of them otherwise).
set -eu

root=$(cd "$(dirname "$0")/.." && pwd)
build=${STEPCOUNT_WINDOWS_BUILD_DIR:-$root/build-windows}

"$root/tools/install_packages.sh" cmake make g++-mingw-w64-x86-64-posix mingw-w64-tools \
    googletest wine wine64

jobs=$(nproc 2>/dev/null || echo 2)
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64.cmake" "$@" >/dev/null
# shellcheck disable=SC2086
cmake --build "$build" --parallel "$jobs" \
    ${STEPCOUNT_WINDOWS_TARGETS:+--target $STEPCOUNT_WINDOWS_TARGETS} >&2
