#!/usr/bin/env bash
# The pictures of --verify --draw as a person sees them: a real browser renders
# the chart of a feasible PSPLIB j30 schedule and of one with a violation, and
# the screenshots are looked at: not blank, the bars' blue in both, the red of
# a violation in the second alone. Skips, saying so, where no browser is found.
#
# Usage: scripts/picture_check.sh CONVERTER_BATCH SCHEDULES_DIR [PNG_DIR]
set -euo pipefail
batch=$1
samples=$2
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
out=${3:-$work}
mkdir -p "$out"

browser=
for candidate in chromium chromium-browser google-chrome; do
    if command -v "$candidate" > /dev/null; then
        browser=$candidate
        break
    fi
done
if [ -z "$browser" ]; then
    echo "skipped: no browser (Debian chromium) to render the pictures with; they were not looked at"
    exit 0
fi

failures=0
# check NAME SCHEDULE RED: draws, renders and counts; RED is "some" or "none".
check() {
    local name=$1 schedule=$2 red=$3
    "$batch" -q --verify "$samples/j301_1.sm" "$samples/$schedule" --draw - > "$work/$name.svg" 2> /dev/null || true
    local height
    height=$(grep -o 'height="[0-9.]*"' "$work/$name.svg" | head -n 1 | grep -o '[0-9]*' | head -n 1)
    timeout 120 "$browser" --headless --no-sandbox --disable-gpu --hide-scrollbars \
        --user-data-dir="$work/profile" --window-size="1170,$height" \
        --screenshot="$out/$name.png" "file://$work/$name.svg" > /dev/null 2>&1 || true
    if [ ! -s "$out/$name.png" ]; then
        echo "FAIL: $browser made no screenshot of $name.svg"
        failures=$((failures + 1))
        return
    fi
    local counts
    counts=$(python3 "$here/png_colours.py" "$out/$name.png" 0072b2 d00000)
    echo "$name: $(tr '\n' ' ' <<< "$counts")"
    read -r _ total _ drawn <<< "$(head -n 1 <<< "$counts")"
    local blue red_pixels
    blue=$(awk '$1 == "0072b2" { print $2 }' <<< "$counts")
    red_pixels=$(awk '$1 == "d00000" { print $2 }' <<< "$counts")
    if [ "$drawn" -lt $((total / 50)) ]; then
        echo "FAIL: $name.png is all but blank"
        failures=$((failures + 1))
    fi
    if [ "$blue" -lt 1000 ]; then
        echo "FAIL: $name.png lacks the bars' blue"
        failures=$((failures + 1))
    fi
    if [ "$red" = some ] && [ "$red_pixels" -lt 50 ]; then
        echo "FAIL: $name.png lacks the violation's red"
        failures=$((failures + 1))
    fi
    if [ "$red" = none ] && [ "$red_pixels" -ne 0 ]; then
        echo "FAIL: $name.png, of a feasible schedule, shows red"
        failures=$((failures + 1))
    fi
}
check feasible j301_1.minizinc.txt none
check violation j301_1.precedence.json some
[ "$failures" -eq 0 ] && echo "the pictures render in $browser as drawn"
[ "$failures" -eq 0 ]
