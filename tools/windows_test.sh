#!/bin/sh
# The Windows round of the tests (./test.sh runs it after the Linux rounds):
# cross-builds stepcount.exe, the test program and the fuzz replay programs
# (tools/windows_build.sh, which installs MinGW-w64 and Wine when missing),
# runs every test of the build under Wine with ctest in a fresh Wine prefix,
# then tools/windows_smoke.sh, which compares stepcount.exe's result files
# with the Linux build's. No test may take more than
# $STEPCOUNT_WINE_TEST_TIMEOUT seconds (default 300) and the ctest run no
# more than 20 minutes, so that a program that hangs under Wine fails the
# round instead of stalling it.
set -eu
# Debian's Wine has no preloader to reserve its fixed addresses before the
# system maps anything: now and then, with the address space laid out at
# random, a Wine process cannot start ("failed to map the shared user
# data", about one in 2,000 here). Run with a fixed layout, which every
# process started from here inherits.
if [ -z "${STEPCOUNT_FIXED_LAYOUT:-}" ] && command -v setarch >/dev/null 2>&1; then
    STEPCOUNT_FIXED_LAYOUT=1 exec setarch "$(uname -m)" -R "$0" "$@"
fi

root=$(cd "$(dirname "$0")/.." && pwd)
build=${STEPCOUNT_WINDOWS_BUILD_DIR:-$root/build-windows}
jobs=$(nproc 2>/dev/null || echo 2)

targets="stepcount stepcount_tests"
for language in vb c sql html cobol type_check; do
    targets="$targets fuzz_replay_$language"
done
STEPCOUNT_WINDOWS_TARGETS=$targets "$root/tools/windows_build.sh"

if [ -x /usr/lib/wine/wine64 ]; then wine=/usr/lib/wine/wine64; else wine=wine; fi
work=$(mktemp -d)
export WINEPREFIX="$work/prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
# A Windows process has Wine's time zone, which Wine takes from TZ: the
# expected dates of the tests are UTC.
export TZ=UTC
unset DISPLAY WAYLAND_DISPLAY
cleanup() {
    wineserver -k 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

# One Wine server that stays for all the test processes, ended by the
# cleanup: each starts in a fraction of the time then. Wine's own background
# programs start with the prefix, their output to /dev/null: started by a
# test program, they would hold its output pipe open, and ctest would wait
# for its end in vain.
mkdir -p "$WINEPREFIX"
wineserver -p
"$wine" wineboot -i >/dev/null 2>&1
started=$(date +%s)
status=0
(cd "$build" && timeout -k 30 1200 ctest --output-on-failure \
    --timeout "${STEPCOUNT_WINE_TEST_TIMEOUT:-300}" --parallel "$jobs") || status=$?
echo "Tests under Wine: $(($(date +%s) - started)) s" >&2
wineserver -k 2>/dev/null || true
[ "$status" -eq 0 ] || exit "$status"

"$root/tools/windows_smoke.sh"
