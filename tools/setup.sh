#!/bin/sh
# Installs the Debian packages the build needs when they are missing, then
# configures and builds everything into build/ (or $STEPCOUNT_BUILD_DIR).
# Arguments are passed on to CMake's configure step (tools/sanitize.sh gives
# -DSTEPCOUNT_SANITIZE=ON). Quiet on success apart from the build's own output.
set -eu

root=$(cd "$(dirname "$0")/.." && pwd)
build=${STEPCOUNT_BUILD_DIR:-$root/build}

# The window needs Qt 6 Widgets and a Japanese Gothic font for its texts;
# counting revisions of repositories needs libgit2 (and its tests, git).
packages="g++ cmake make pkg-config libgtest-dev qt6-base-dev fonts-ipafont-gothic libgit2-dev libdeflate-dev zlib1g-dev git"
# shellcheck disable=SC2086
"$root/tools/install_packages.sh" $packages

jobs=$(nproc 2>/dev/null || echo 2)
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release "$@" >/dev/null
cmake --build "$build" --parallel "$jobs" >&2
