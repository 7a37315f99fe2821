#!/bin/sh
# Checks that every source file includes headers of its own layer and of the
# layers below it only:
#   platform <- counters, diff, git <- walk <- report <- runs <- cli, gui
# Prints each include that goes the wrong way and exits 1 when there is one.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)

allowed() {
    case $1 in
        platform) echo "platform" ;;
        counters) echo "platform counters" ;;
        diff) echo "platform diff" ;;
        git) echo "platform git" ;;
        walk) echo "platform counters diff git walk" ;;
        report) echo "platform counters diff git walk report" ;;
        runs) echo "platform counters diff git walk report runs" ;;
        cli) echo "platform counters diff git walk report runs cli" ;;
        gui) echo "platform counters diff git walk report runs gui" ;;
        *) echo "" ;;
    esac
}

status=0
for dir in "$root"/src/*/; do
    layer=$(basename "$dir")
    layers=$(allowed "$layer")
    if [ -z "$layers" ]; then
        echo "src/$layer: a folder that is no layer; add it to tools/check_layers.sh"
        status=1
        continue
    fi
    for file in "$dir"*; do
        [ -f "$file" ] || continue
        # The project's own includes: "layer/name.h".
        sed -n 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*"\([a-z_]*\)\/.*/\1/p' "$file" |
            sort -u | while read -r included; do
                case " $layers " in
                    *" $included "*) ;;
                    *) echo "src/$layer/$(basename "$file") includes $included/: not below $layer"
                       echo x >>"${TMPDIR:-/tmp}/check_layers.$$" ;;
                esac
            done
    done
done
if [ -f "${TMPDIR:-/tmp}/check_layers.$$" ]; then
    rm -f "${TMPDIR:-/tmp}/check_layers.$$"
    status=1
fi
exit $status
