#!/bin/sh
# Regenerates src/platform/cp932_table.inc, the table the result files' CP932
# (Shift_JIS) conversion uses: glibc's iconv "CP932" converter asked for every
# Unicode scalar value (U+0000 to U+10FFFF, surrogates excluded) one at a time.
# The table is committed; run this on a Linux system with glibc and its gconv
# modules (Debian: libc6, which every system has) and g++, then rebuild and run
# the tests (Cp932Table.*), which compare the table with the converter again:
#
#   tools/make_cp932_table.sh
set -eu

root=$(cd "$(dirname "$0")/.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

g++ -std=c++20 -O2 -Wall -Wextra -I"$root/src" -o "$work/make_cp932_table" \
    "$root/tools/make_cp932_table.cpp" "$root/src/platform/utf16.cpp"
"$work/make_cp932_table" >"$work/cp932_table.inc"
mv "$work/cp932_table.inc" "$root/src/platform/cp932_table.inc"
head -n 2 "$root/src/platform/cp932_table.inc" | sed 's|^// ||'
