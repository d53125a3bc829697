#!/bin/sh
# Makes Debian 12's Gecode (6.2.0) solve models that include MiniZinc's
# globals.mzn, as MiniZinc's standard RCPSP model does. Gecode's MiniZinc
# library there predates Debian's MiniZinc 2.6.4: its inverse, inverse_set and
# nvalue definitions clash with the standard library's, and every such model
# stops on a type error. This writes into DIR a copy of Gecode's library
# without those three files and a solver configuration that uses it (Gecode's
# own constraints, cumulative among them, are kept), and prints the
# configuration's path.
# Usage: scripts/gecode_fixed_library.sh DIR
#   then: minizinc --solver DIR/gecode-fixed.msc model.mzn data.dzn
set -eu
dir=${1:?usage: gecode_fixed_library.sh DIR}
mkdir -p "$dir"
dir=$(cd "$dir" && pwd)
stdlib=$(minizinc --config-dirs | sed -n 's/.*"mznStdlibDir" *: *"\([^"]*\)".*/\1/p')
[ -f "$stdlib/solvers/gecode.msc" ] || { echo "no Gecode solver configuration under $stdlib" >&2; exit 1; }
rm -rf "$dir/gecode-library"
cp -r "$stdlib/gecode" "$dir/gecode-library"
rm -f "$dir/gecode-library/inverse.mzn" "$dir/gecode-library/inverse_set.mzn" "$dir/gecode-library/nvalue.mzn"
sed -e 's|"id" *: *"org.gecode.gecode"|"id": "local.gecode.fixed"|' \
    -e "s|\"mznlib\" *: *\"[^\"]*\"|\"mznlib\": \"$dir/gecode-library\"|" \
    "$stdlib/solvers/gecode.msc" > "$dir/gecode-fixed.msc"
echo "$dir/gecode-fixed.msc"
