#!/usr/bin/env bash
# Prints line and branch coverage of src/ from the whole test suite (gcov + lcov).
# Usage: scripts/coverage.sh [BUILD_DIR]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build-coverage}
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Debug -DCONVERTER_STATIC=OFF \
    -DCMAKE_CXX_FLAGS="--coverage -O0" -DCMAKE_EXE_LINKER_FLAGS="--coverage" > /dev/null
cmake --build "$build" --parallel 2 > /dev/null
lcov --quiet --zerocounters --directory "$build"
ctest --test-dir "$build" --output-on-failure -j 2 > /dev/null
lcov --quiet --capture --directory "$build" --rc lcov_branch_coverage=1 --output-file "$build/all.info"
lcov --quiet --extract "$build/all.info" "$root/src/*" --rc lcov_branch_coverage=1 --output-file "$build/src.info"
lcov --list "$build/src.info" --rc lcov_branch_coverage=1
lcov --summary "$build/src.info" --rc lcov_branch_coverage=1
