#!/bin/sh
# Builds stepcount when needed and runs it with the given arguments.
# Without arguments it opens the window when a display is available, and
# otherwise counts the bundled sample sources (samples/) into a result file
# in the build folder and shows it.
set -eu
root=$(cd "$(dirname "$0")" && pwd)
build=${STEPCOUNT_BUILD_DIR:-$root/build}
"$root/tools/setup.sh"
if [ $# -gt 0 ]; then
    exec "$build/stepcount" "$@"
fi
if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
    exec "$build/stepcount-gui"
fi

result="$build/samples-LocResult.csv"
rm -f "$result"
rm -f "$build/samples-cobol-LocResult.csv"
cd "$root"
"$build/stepcount" -q -m vb,c,sql,html -o "$result" samples
"$build/stepcount" -q -l cobol -o "$build/samples-cobol-LocResult.csv" samples >/dev/null
echo
echo "The sample sources in samples/ were counted into:"
echo "  $result  (VB, C family, SQL and HTML; Shift_JIS, shown here in UTF-8)"
echo "  $build/samples-cobol-LocResult.csv  (COBOL)"
echo
iconv -f CP932 -t UTF-8 "$result"
echo
echo "Count your own sources with, for example:  ./run.sh -l c -o result.csv path/to/src"
echo "All options:  ./run.sh --help"
