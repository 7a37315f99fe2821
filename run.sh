#!/bin/sh
# Builds stepcount when needed and runs it with the given arguments.
set -eu
root=$(cd "$(dirname "$0")" && pwd)
"$root/tools/setup.sh"
exec "${STEPCOUNT_BUILD_DIR:-$root/build}/stepcount" "$@"
