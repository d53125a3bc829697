#!/usr/bin/env bash
# Runs the EXAMPLES of converter-batch's manual page in the order shown, in one
# tree of PSPLIB files, each expected to succeed.
# Usage: man_examples.sh CONVERTER_BATCH MAN_PAGE_IN SOURCE_DIR
set -u
batch_dir=$(dirname "$(realpath "$1")")
page=$(realpath "$2")
source_dir=$(realpath "$3")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1
mkdir -p instances/j30
cp "$source_dir/tests/data/j301_1.sm" "$source_dir/tests/data/j301_2.sm" instances/j30/
gzip -c instances/j30/j301_1.sm > j301_1.sm.gz
export PATH="$batch_dir:$PATH"
failures=0
commands=0
# The .B lines of EXAMPLES that run a command, as the reader types them.
while IFS= read -r command; do
    commands=$((commands + 1))
    if ! output=$(bash -c "$command" 2>&1); then
        echo "FAIL: [$command]: $output"
        failures=$((failures + 1))
    fi
done < <(sed -n '/^\.SH EXAMPLES/,/^\.SH /p' "$page" | grep -E '^\.B (converter|zcat)' |
    sed -e 's/^\.B //' -e 's/\\-/-/g' -e "s/\\\\(aq/'/g" -e 's/\\%//g' -e "s|@CONVERTER_DOCDIR@|$source_dir|g")
[ "$commands" -ge 8 ] || { echo "FAIL: only $commands examples found"; failures=$((failures + 1)); }
# What the examples promise: every output where it is said to be.
for file in converted/reference.txt converted/j301_1.sch patterson/j301_1.rcp psplib/j301_1.sm \
    instances/j30/j301_1.tsv stats.csv j301_1.sch notebook/j301_1.dzn notebook/j301_2.json j30.jsonl \
    unpacked/j301_1.json; do
    [ -s "$file" ] || { echo "FAIL: no $file"; failures=$((failures + 1)); }
done
[ "$(wc -l < stats.csv)" == 3 ] || { echo "FAIL: stats.csv holds [$(cat stats.csv)]"; failures=$((failures + 1)); }
echo "$commands examples, $failures failures"
[ "$failures" -eq 0 ]
