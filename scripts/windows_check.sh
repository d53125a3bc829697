#!/usr/bin/env bash
# Cross-builds the Windows program with mingw-w64 and checks it under Wine: the
# end-to-end checks of both programs (CR LF output, both fixed messages, every
# refusal; converter-batch on a directory, wildcards and a failing file) and the
# fuzz corpus replay. Needs g++-mingw-w64-x86-64-posix, libz-mingw-w64-dev and
# wine64, and what scripts/windows_liblzma.sh needs.
# Usage: scripts/windows_check.sh [BUILD_DIR]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build-windows}
bash "$root/scripts/windows_liblzma.sh"
cmake -S "$root" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" \
    -DCMAKE_BUILD_TYPE=Release -DCONVERTER_TESTS=OFF -DCONVERTER_CORPUS_REPLAY=ON > /dev/null
cmake --build "$build" --parallel 2 > /dev/null

wine=/usr/lib/wine/wine64
export WINEDEBUG=-all
WINEPREFIX=$(mktemp -d)
export WINEPREFIX
trap 'rm -rf "$WINEPREFIX"' EXIT
"$wine" wineboot --init > /dev/null 2>&1 || true

"$wine" "$build/fuzz/fuzz_replay.exe" "$root/fuzz/corpus"
RUNNER=$wine bash "$root/tests/end_to_end.sh" "$build/converter.exe" "$root/tests/data"
RUNNER=$wine bash "$root/tests/batch_end_to_end.sh" "$build/converter-batch.exe" "$build/converter.exe" "$root/tests/data"
