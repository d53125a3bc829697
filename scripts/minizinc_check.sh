#!/usr/bin/env bash
# Checks the dzn layout with MiniZinc itself: every sample of tests/data
# written as dzn (and the syntax samples read and written again) is solved
# briefly by Gecode over tests/data/rcpsp_check.mzn, a model of our own that
# declares the six names as MiniZinc's standard RCPSP model does (a solve,
# unlike --instance-check-only, catches an array whose size disagrees with the
# counts), and examples/reference.txt solves to its makespan, 4.
# The model includes only cumulative.mzn, so Debian's Gecode 6.2.0 solves it
# without the library fix that the standard model (globals.mzn) needs there.
# Multi-mode data are solved over tests/data/mrcpsp_check.mzn likewise.
# Needs minizinc (Debian package, with Gecode).
# Usage: scripts/minizinc_check.sh [CONVERTER_BATCH]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
batch=${1:-$root/build/converter-batch}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
model=$root/tests/data/rcpsp_check.mzn
fail() { echo "FAIL: $*"; exit 1; }

"$batch" -q --to dzn -o "$work/written" "$root/examples/reference.txt" "$root/tests/data"/*.txt "$root/tests/data"/*.rcp
"$batch" -q --to dzn -s .again.dzn -o "$work/written" "$root/tests/data/dzn_syntax"
count=0
for data in "$work/written"/*.dzn; do
    out=$(timeout 60 minizinc --solver gecode --time-limit 2000 "$model" "$data" 2>&1) ||
        fail "minizinc refused $(basename "$data"): $out"
    grep -q 'Error' <<< "$out" && fail "minizinc refused $(basename "$data"): $out"
    count=$((count + 1))
done
out=$(timeout 60 minizinc --solver gecode "$model" "$work/written/reference.dzn" 2> /dev/null)
grep -qx 'makespan = 4;' <<< "$out" && grep -qx '==========' <<< "$out" ||
    fail "examples/reference.txt does not solve to its makespan 4: $out"
# A model that includes globals.mzn, as the standard one does, with Gecode's
# library fixed by the project's script.
solver=$(sh "$root/scripts/gecode_fixed_library.sh" "$work/gecode")
out=$(timeout 60 minizinc --solver "$solver" "$root/tests/data/rcpsp_globals_check.mzn" "$work/written/reference.dzn" 2> /dev/null)
grep -qx 'makespan = 4;' <<< "$out" || fail "with globals.mzn and the fixed Gecode library: $out"
# Multi-mode data for the mrcpsp model, over a plain model of our own that
# declares its nine names: PSPLIB's j105_3.mm solves to an optimum, and
# j301_10.mm, which --check finds has no choice of modes within its
# nonrenewable capacities, has no solution.
"$batch" -q --to dzn -o "$work/modes" "$root/tests/data/j105_3.mm" "$root/tests/data/j301_10.mm"
modes_model=$root/tests/data/mrcpsp_check.mzn
out=$(timeout 120 minizinc --solver gecode --time-limit 60000 "$modes_model" "$work/modes/j105_3.dzn" 2> /dev/null)
grep -q '^makespan = ' <<< "$out" && grep -qx '==========' <<< "$out" || fail "j105_3.mm's mrcpsp data did not solve: $out"
out=$(timeout 120 minizinc --solver gecode --time-limit 60000 "$modes_model" "$work/modes/j301_10.dzn" 2> /dev/null)
grep -qx '=====UNSATISFIABLE=====' <<< "$out" || fail "j301_10.mm's mrcpsp data were not found unsatisfiable: $out"
echo "minizinc: $count dzn files accepted; examples/reference.txt solves to makespan 4, with globals.mzn too;" \
    "mrcpsp data of j105_3.mm solved, of j301_10.mm unsatisfiable"
