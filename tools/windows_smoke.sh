#!/bin/bash
# Runs the Windows build's stepcount.exe under Wine and compares its result
# files with the Linux build's, byte for byte apart from the separators of
# the folder column ("\" against "/"):
#   the samples in CP932 and UTF-8; a tree of Japanese, Korean and emoji
#   names; count folders given as Z:\..., C:\..., ..\x and with a trailing
#   "\"; a path of more than 300 characters; -o with "\" and with "/"; a link
#   that leads back up the tree; -j 1 against -j 4 over many runs (the
#   thread-exit crash); --diff of two versions of the odd names (the same
#   bytes, separators included: the folder column is relative); Ctrl-C
#   (SIGINT to Wine's process, which Wine hands to the console control
#   handler).
# Usage: tools/windows_smoke.sh [RUNS]   RUNS of -j 4 (default 200)
# Builds what is missing (tools/windows_build.sh, and the Linux stepcount),
# uses a fresh Wine prefix in a temporary folder, needs no display, and
# prints one line per check and a summary; exits 1 when a check failed.
set -u
# Debian's Wine has no preloader to reserve its fixed addresses before the
# system maps anything: now and then, with the address space laid out at
# random, a Wine process cannot start ("failed to map the shared user
# data", about one in 2,000 here). Run with a fixed layout, which every
# process started from here inherits.
if [ -z "${STEPCOUNT_FIXED_LAYOUT:-}" ] && command -v setarch >/dev/null 2>&1; then
    STEPCOUNT_FIXED_LAYOUT=1 exec setarch "$(uname -m)" -R "$0" "$@"
fi

root=$(cd "$(dirname "$0")/.." && pwd)
runs=${1:-200}
windows_build=${STEPCOUNT_WINDOWS_BUILD_DIR:-$root/build-windows}
linux_build=${STEPCOUNT_BUILD_DIR:-$root/build}
started=$(date +%s)

if [ ! -x "$windows_build/stepcount.exe" ]; then
    "$root/tools/windows_build.sh" || exit 1
fi
if [ ! -x "$linux_build/stepcount" ]; then
    "$root/tools/install_packages.sh" g++ cmake make || exit 1
    cmake -S "$root" -B "$linux_build" -DCMAKE_BUILD_TYPE=Release >/dev/null &&
        cmake --build "$linux_build" --target stepcount >&2 || exit 1
fi
exe=$windows_build/stepcount.exe
linux=$linux_build/stepcount
if [ -x /usr/lib/wine/wine64 ]; then wine=/usr/lib/wine/wine64; else wine=wine; fi

work=$(mktemp -d)
export WINEPREFIX=$work/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY WAYLAND_DISPLAY
cleanup() {
    wineserver -k 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT

passed=0
failed=0
pass() { passed=$((passed + 1)); echo "PASS $1"; }
fail() {
    failed=$((failed + 1))
    local name=$1
    shift
    echo "FAIL $name${*:+: $*}"
}

# The folder column of a result file (CSV, CP932 or UTF-8) with "\" turned
# into "/": only in the first field, and never the second byte of a CP932
# character (0x5C follows many lead bytes). A text at the start of the
# field may be replaced first (a count folder's Windows form by its Linux
# one).
unixify() {   # FILE ENCODING [FROM TO]
    perl -e '
        my ($encoding, $from, $to) = @ARGV[1..3];
        open(my $in, "<:raw", $ARGV[0]) or die;
        binmode STDOUT;
        my $char = $encoding eq "cp932" ? qr/[\x81-\x9F\xE0-\xFC][\x40-\xFC]|[\x00-\xFF]/s
                                        : qr/[\x00-\xFF]/s;
        while (my $line = <$in>) {
            $line =~ s/^("?)\Q$from\E/$1$to/ if defined $from && length $from;
            my ($out, $quoted, $first) = ("", 0, 1);
            for my $c ($line =~ /$char/g) {
                if ($first) {
                    if ($c eq "\"") { $quoted = !$quoted; }
                    elsif ($c eq "," && !$quoted) { $first = 0; }
                    elsif ($c eq "\\") { $c = "/"; }
                }
                $out .= $c;
            }
            print $out;
        }' "$@"
}

# Runs the Windows program in folder DIR: winrun DIR ARGUMENTS...
winrun() {
    local dir=$1
    shift
    (cd "$dir" && "$wine" "$exe" "$@")
}
# The Windows form of a Unix path (Wine's drive Z: is /).
winpath() { printf 'Z:%s' "$1" | tr / '\\'; }

# Compares a Windows result file with a Linux one: same WIN LINUX ENCODING
# [FROM TO] NAME
same() {
    local name=${!#}
    if cmp -s <(unixify "$1" "$3" "${@:4:$#-4}") "$2"; then
        pass "$name"
    else
        fail "$name" "$(cmp <(unixify "$1" "$3" "${@:4:$#-4}") "$2" 2>&1 | head -1)"
    fi
}

echo "Wine: $($wine --version 2>/dev/null)"
boot_start=$(date +%s)
"$wine" wineboot -i >/dev/null 2>&1
echo "Wine prefix made in $(($(date +%s) - boot_start)) s"

# The trees: the samples, and one of odd names.
mkdir -p "$work/t"
cp -r "$root/samples" "$work/t/samples"
odd=$work/t/odd
mkdir -p "$odd/日本語フォルダ/サブ" "$odd/한국어" "$odd/emoji😀" "$odd/sp ace,comma" "$odd/Abc"
printf 'int a;\r\n// c\r\n\r\n' >"$odd/日本語フォルダ/ソース.c"
printf '/* x */\nint b;\n' >"$odd/日本語フォルダ/サブ/表～示.h"
printf 'int k;\n' >"$odd/한국어/코드.c"
printf 'int e; // x\n' >"$odd/emoji😀/smile😀.cpp"
printf -- '-- q\nselect 1;\n' >"$odd/sp ace,comma/q,uote.sql"
printf 'x\n' >"$odd/Abc/a.c"
printf '<!-- c -->\n<p>\n' >"$odd/ＡＢＣ全角.html"
printf 'Dim a\n' >"$odd/ソ.bas"
# 表 and ソ end in the byte of "\" in CP932.
mkdir -p "$odd/表示"
printf 'int h;\n' >"$odd/表示/ソ.c"
find "$odd" -exec touch -d '2024-03-05 06:07:09' {} +
# A path of more than 300 characters.
long=$work/t/long
deep=$long
for level in $(seq 1 25); do deep=$deep/folder_level_$level; done
mkdir -p "$deep"
printf 'int deep;\n// deep\n' >"$deep/deep.c"
printf 'int n;\n' >"$deep/日本.c"

# 1. The samples and the odd names, CP932 and UTF-8, every layout.
for tree in samples odd; do
    for encoding in cp932 utf-8; do
        for languages in "-m vb,c,sql,html" "-l cobol" "-l c"; do
            out="$tree.${encoding}.${languages// /}.csv"
            (cd "$work/t" &&
                "$linux" $languages --encoding "$encoding" -q -o "lin.$out" "$tree" >/dev/null)
            winrun "$work/t" $languages --encoding "$encoding" -q -o "win.$out" "$tree" \
                >/dev/null 2>&1
            same "$work/t/win.$out" "$work/t/lin.$out" "${encoding/utf-8/utf8}" \
                "$tree, $encoding, $languages"
        done
    done
done

# 2. Forms of the count folder.
(cd "$work/t" && "$linux" -m vb,c,sql,html -q -o "$work/t/lin.abs.csv" "$work/t/odd" >/dev/null)
winrun "$work/t" -m vb,c,sql,html -q -o win.abs.csv "$(winpath "$work/t/odd")" >/dev/null 2>&1
same "$work/t/win.abs.csv" "$work/t/lin.abs.csv" cp932 "Z:" "" "count folder Z:\\..."

cdrive=$WINEPREFIX/drive_c
cp -r "$odd" "$cdrive/odd"
find "$cdrive/odd" -exec touch -d '2024-03-05 06:07:09' {} +
(cd "$work/t" && "$linux" -m vb,c,sql,html -q -o "$work/t/lin.c.csv" "$cdrive/odd" >/dev/null)
winrun "$work/t" -m vb,c,sql,html -q -o win.c.csv 'C:\odd' >/dev/null 2>&1
same "$work/t/win.c.csv" "$work/t/lin.c.csv" cp932 "C:" "$cdrive" "count folder C:\\..."

mkdir -p "$work/t/x"
(cd "$work/t/x" && "$linux" -m vb,c,sql,html -q -o "$work/t/lin.rel.csv" ../odd >/dev/null)
winrun "$work/t/x" -m vb,c,sql,html -q -o ..\\win.rel.csv '..\odd' >/dev/null 2>&1
same "$work/t/win.rel.csv" "$work/t/lin.rel.csv" cp932 "count folder ..\\x"

(cd "$work/t" && "$linux" -m vb,c,sql,html -q -o "$work/t/lin.trail.csv" odd/ >/dev/null)
winrun "$work/t" -m vb,c,sql,html -q -o win.trail.csv 'odd\' >/dev/null 2>&1
same "$work/t/win.trail.csv" "$work/t/lin.trail.csv" cp932 "count folder with a trailing \\"

(cd "$work/t" && "$linux" -l c -q -o "$work/t/lin.slash.csv" odd/한국어 >/dev/null)
winrun "$work/t" -l c -q -o win.slash.csv 'odd/한국어' >/dev/null 2>&1
same "$work/t/win.slash.csv" "$work/t/lin.slash.csv" cp932 "count folder given with /"

# 3. More than 300 characters.
(cd "$work/t" && "$linux" -l c -q -o "$work/t/lin.long.csv" long >/dev/null)
winrun "$work/t" -l c -q -o win.long.csv long >/dev/null 2>&1
longest=$(awk -F, '{ if (length($1) > max) max = length($1) } END { print max }' \
    "$work/t/win.long.csv")
if [ "${longest:-0}" -gt 300 ]; then
    same "$work/t/win.long.csv" "$work/t/lin.long.csv" cp932 "folder paths of $longest characters"
else
    fail "folder paths of more than 300 characters" "the longest was ${longest:-0}"
fi
(cd "$work/t" && "$linux" -l c -q -o "$work/t/lin.longroot.csv" "$deep" >/dev/null)
winrun "$work/t" -l c -q -o win.longroot.csv "$(winpath "$deep")" >/dev/null 2>&1
same "$work/t/win.longroot.csv" "$work/t/lin.longroot.csv" cp932 "Z:" "" \
    "count folder of ${#deep} characters"

# 4. -o with "\" and with "/", relative and absolute.
mkdir -p "$work/t/out"
for output in 'out\r1.csv' 'out/r2.csv' "$(winpath "$work/t/out/r3.csv")" \
    "$(winpath "$work/t/out/r4.csv" | tr '\\' /)"; do
    rm -f "$work/t/out/"r?.csv
    winrun "$work/t" -l c -q -o "$output" samples >/dev/null 2>&1
    made=$(ls "$work/t/out/" 2>/dev/null)
    (cd "$work/t" && "$linux" -l c -q -o "$work/t/lin.o.csv" samples >/dev/null)
    if [ -n "$made" ]; then
        same "$work/t/out/$made" "$work/t/lin.o.csv" cp932 "-o $output"
    else
        fail "-o $output" "no result file"
    fi
    rm -f "$work/t/lin.o.csv"
done

# 5. A link back up the tree. Wine shows a Unix symbolic link as a folder
# (no reparse point); the loop is caught by the folders' identities.
loop=$work/t/loop
mkdir -p "$loop/a/b"
printf 'int l;\n' >"$loop/a/b/l.c"
ln -s ../.. "$loop/a/b/up"
(cd "$work/t" && "$linux" -l c -q -o "$work/t/lin.loop.csv" loop >/dev/null)
winrun "$work/t" -l c -q -o win.loop.csv loop >/dev/null 2>&1
same "$work/t/win.loop.csv" "$work/t/lin.loop.csv" cp932 \
    "a link to an ancestor is listed, not walked"
junction=$(cd "$work/t" && "$wine" cmd /c mklink /J 'loop\a\j' 'loop' 2>&1 | tr -d '\r')
if [ -e "$loop/a/j" ]; then
    winrun "$work/t" -l c -q -o win.junction.csv loop >/dev/null 2>&1
    if grep -q '^loop\\a,j,Directory' "$work/t/win.junction.csv" &&
        ! grep -q '^loop\\a\\j' "$work/t/win.junction.csv"; then
        pass "a junction to an ancestor is listed, not walked"
    else
        fail "a junction to an ancestor is listed, not walked"
    fi
else
    echo "SKIP junction: Wine's mklink /J made none (${junction:-no output})"
fi

# 6. -j 1 against -j 4, run after run.
(cd "$work/t" && cp -r odd many && for i in $(seq 1 20); do cp -r samples "many/s$i"; done)
winrun "$work/t" -m vb,c,sql,html -j 1 -q -o one.csv many >/dev/null 2>&1
(cd "$work/t" && "$linux" -m vb,c,sql,html -j 1 -q -o lin.many.csv many >/dev/null)
same "$work/t/one.csv" "$work/t/lin.many.csv" cp932 \
    "a tree of $(find "$work/t/many" | wc -l) entries"
jobs_start=$(date +%s)
differing=0
crashed=0
for run in $(seq 1 "$runs"); do
    rm -f "$work/t/four.csv"
    # Wine's own errors are kept here: a run that fails without a word of
    # the program's shows why Wine ended it.
    WINEDEBUG=fixme-all winrun "$work/t" -m vb,c,sql,html -j 4 -q -o four.csv many \
        >"$work/t/four.out" 2>"$work/t/four.err"
    status=$?
    if [ "$status" -ne 0 ]; then
        crashed=$((crashed + 1))
        if [ "$crashed" -eq 1 ]; then
            # What it printed, and how much of the result file it left.
            echo "  run $run ended with $status: $(head -c 300 "$work/t/four.err")" \
                "$(head -c 300 "$work/t/four.out")"
            echo "  its result file: $(wc -c <"$work/t/four.csv" 2>/dev/null || echo none) bytes" \
                "of $(wc -c <"$work/t/one.csv")"
        fi
    elif ! cmp -s "$work/t/four.csv" "$work/t/one.csv"; then
        differing=$((differing + 1))
    fi
done
if [ "$crashed" -eq 0 ] && [ "$differing" -eq 0 ]; then
    pass "-j 4 gives the bytes of -j 1 in $runs runs ($(($(date +%s) - jobs_start)) s)"
else
    fail "-j 4 against -j 1 in $runs runs" "$crashed ended badly, $differing differed"
fi

# 7. Comparisons of two versions: the folder column is relative and written
# with "/" on every system, so the bytes are Linux's exactly.
cmp_old=$work/t/cmp/OLD
cmp_new=$work/t/cmp/NEW
mkdir -p "$work/t/cmp"
cp -r "$odd" "$cmp_old"
cp -r "$odd" "$cmp_new"
printf 'int a;\r\n// c\r\nint b;\r\n' >"$cmp_new/日本語フォルダ/ソース.c"
rm "$cmp_new/한국어/코드.c"
printf 'x;\ny;\n' >"$cmp_new/表示/新.c"
printf 'Dim a\nDim b\n' >"$cmp_new/ソ.bas"
for encoding in cp932 utf-8; do
    (cd "$work/t/cmp" &&
        "$linux" -m vb,c,sql,html --encoding "$encoding" -q -o "lin.$encoding.csv" \
            --diff OLD NEW >/dev/null)
    winrun "$work/t/cmp" -m vb,c,sql,html --encoding "$encoding" -q -o "win.$encoding.csv" \
        --diff OLD NEW >/dev/null 2>&1
    if cmp -s "$work/t/cmp/win.$encoding.csv" "$work/t/cmp/lin.$encoding.csv"; then
        pass "--diff of the odd names, $encoding"
    else
        fail "--diff of the odd names, $encoding" \
            "$(cmp "$work/t/cmp/win.$encoding.csv" "$work/t/cmp/lin.$encoding.csv" 2>&1 | head -1)"
    fi
done

# 8. Ctrl-C: Wine turns SIGINT into the console's CTRL_C_EVENT.
big=$work/t/big
for d in $(seq 1 100); do
    mkdir -p "$big/d$d"
    for f in $(seq 1 100); do printf 'int a;\n// c\n\n' >"$big/d$d/f$f.c"; done
done
rm -f "$work/t/stopped.csv"
(cd "$work/t" && exec "$wine" "$exe" -l c -j 2 -o stopped.csv big >"$work/t/stop.out" 2>&1) &
pid=$!
# Once the run has begun (the result file has its header), a second later.
for _ in $(seq 1 600); do
    [ -s "$work/t/stopped.csv" ] && break
    sleep 0.1
done
sleep 1
kill -INT "$pid"
wait "$pid"
status=$?
rows=$(wc -l <"$work/t/stopped.csv")
(cd "$work/t" && "$linux" -l c -j 1 -q -o lin.big.csv big >/dev/null)
all=$(wc -l <"$work/t/lin.big.csv")
# The rows written are those of a whole run's start, each ending in CR LF.
size=$(stat -c %s "$work/t/stopped.csv")
prefix=$(unixify "$work/t/stopped.csv" cp932 |
    cmp -s - <(head -c "$size" "$work/t/lin.big.csv") && echo yes)
ending=$(tail -c 2 "$work/t/stopped.csv" | od -An -c | tr -d ' ')
if [ "$status" -eq 130 ] && grep -q "stopped by Ctrl-C" "$work/t/stop.out" &&
    [ "$rows" -lt "$all" ] && [ "$prefix" = yes ] && [ "$ending" = '\r\n' ]; then
    pass "Ctrl-C ends the run with exit status 130 and $rows whole rows of $all"
else
    fail "Ctrl-C" "status $status, $rows rows of $all, rows a prefix: ${prefix:-no}:" \
        "$(head -c 200 "$work/t/stop.out")"
fi

echo "$passed passed, $failed failed ($(($(date +%s) - started)) s)"
[ "$failed" -eq 0 ]
