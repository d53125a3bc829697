#!/usr/bin/env bash
# Checks that no source file includes upward: each folder of src/ may include
# its own headers and those of the folders below it, nothing else.
#   instance  <  analysis  <  layouts  <  drawing  <  files  <  converter, batch
# Usage: include_layers.sh SRC_DIR
set -u
cd "$1" || exit 1
allowed() { # FOLDER: the folders it may include
    case $1 in
    instance) echo "instance" ;;
    layouts) echo "instance analysis layouts" ;;
    analysis) echo "instance analysis" ;;
    drawing) echo "instance analysis layouts drawing" ;;
    files) echo "instance layouts analysis drawing files" ;;
    converter | batch) echo "instance layouts analysis drawing files $1" ;;
    *) echo "" ;;
    esac
}
failures=0
for file in */*.h */*.cpp; do
    folder=${file%%/*}
    while read -r included; do
        target=${included%%/*}
        [[ " $(allowed "$folder") " == *" $target "* ]] && continue
        echo "FAIL: $file includes \"$included\""
        failures=$((failures + 1))
    done < <(sed -n 's/^#include "\([^"]*\)".*/\1/p' "$file")
done
loose=$(find . -maxdepth 1 -type f | head -n 3)
[ -z "$loose" ] || { echo "FAIL: files outside the layer folders: $loose"; failures=$((failures + 1)); }
echo "$failures files include upward"
[ "$failures" -eq 0 ]
