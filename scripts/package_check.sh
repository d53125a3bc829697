#!/usr/bin/env bash
# Builds what users install and runs it from there:
#   - `cmake --install` of a release build into a scratch prefix: the file list;
#   - the Debian package (CMake preset "package", `cpack --preset deb`): lintian
#     must report no error; unpacked into a scratch root, the installed
#     converter (dialogue and one conversion) and converter-batch (--version and
#     one batch) run from there, and both manual pages render without warnings;
#   - the Windows zip (preset "windows", `cpack --preset windows-zip`): unpacked
#     into a scratch folder, both programs run from it under Wine.
# Needs lintian, unzip, man-db, g++-mingw-w64-x86-64-posix and wine64.
# Usage: scripts/package_check.sh
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
example=$root/examples/reference.txt
expected=$root/tests/data/reference_1.expected
fail() { echo "FAIL: $*"; exit 1; }

echo "--- cmake --install"
cmake --preset release > /dev/null
cmake --build --preset release --parallel 2 > /dev/null
cmake --install build-release --prefix "$scratch/prefix" > /dev/null
listed=$(cd "$scratch/prefix" && find . -type f | sort | tr '\n' ' ')
[ "$listed" == "./bin/converter ./bin/converter-batch ./share/converter/instance.schema.json ./share/converter/schedule.schema.json ./share/doc/converter/LICENSE ./share/doc/converter/README.md ./share/doc/converter/docs/converter.md ./share/doc/converter/docs/development.md ./share/doc/converter/docs/performance.md ./share/doc/converter/examples/reference.txt ./share/man/man1/converter-batch.1 ./share/man/man1/converter.1 " ] ||
    fail "cmake --install put in place: $listed"
# The manual pages name the files where this install put them.
for page in converter converter-batch; do
    # \% keeps groff from hyphenating the path.
    grep -q "^\.I \\\\%$scratch/prefix/share/doc/converter/examples/reference.txt\$" "$scratch/prefix/share/man/man1/$page.1" ||
        fail "$page.1 does not name the installed example"
done

echo "--- Debian package"
cmake --preset package > /dev/null
cmake --build --preset package --parallel 2 > /dev/null
rm -f build-package/*.deb
cpack --preset deb > /dev/null
package=$(ls build-package/*.deb)
dpkg-deb --info "$package" | sed -n 's/^ \(Package\|Version\|Architecture\|Depends\|Section\):/&/p'
lintian --fail-on error "$package" 2>&1 | grep -v 'running with root privileges' || true
lintian --fail-on error "$package" > /dev/null 2>&1 || fail "lintian reports errors on $package"
dpkg-deb -x "$package" "$scratch/root"
installed=$scratch/root/usr/bin
out=$(printf '%s %s\n' "$example" "$scratch/one.txt" | "$installed/converter")
[ "$out" == $'Enter input path\nEnter output path' ] || fail "installed converter said [$out]"
cmp "$scratch/one.txt" "$expected" || fail "installed converter's output differs"
"$installed/converter-batch" --version | grep -qx "converter-batch [0-9.]*" || fail "installed converter-batch --version"
"$installed/converter-batch" -q -o "$scratch/batch" "$scratch/root/usr/share/doc/converter/examples"
cmp "$scratch/batch/reference.txt" "$expected" || fail "installed converter-batch's output of the installed example differs"
for page in converter converter-batch; do
    file=$scratch/root/usr/share/man/man1/$page.1.gz
    zgrep -q '^\.I \\%/usr/share/doc/converter/examples/reference.txt$' "$file" || fail "$page.1 does not name /usr/share/doc"
    warnings=$( { zcat "$file" | groff -man -ww -z; } 2>&1)
    [ -z "$warnings" ] || fail "groff warns about $page.1: $warnings"
    warnings=$(MANWIDTH=80 man --warnings -l "$file" 2>&1 > /dev/null)
    [ -z "$warnings" ] || fail "man -l warns about $page.1: $warnings"
done
echo "installed from the package: both programs and both manual pages work"

echo "--- Windows zip"
bash scripts/windows_liblzma.sh
cmake --preset windows > /dev/null
cmake --build --preset windows --parallel 2 > /dev/null
rm -f build-windows/*.zip
cpack --preset windows-zip > /dev/null
zip_file=$(ls build-windows/*.zip)
unzip -q "$zip_file" -d "$scratch/windows"
folder=$(ls -d "$scratch/windows"/*/)
for file in converter.exe converter-batch.exe README.txt LICENSE.txt examples/reference.txt schema/instance.schema.json schema/schedule.schema.json; do
    [ -f "$folder/$file" ] || fail "the zip has no $file"
done
grep -q $'\r$' "$folder/LICENSE.txt" || fail "LICENSE.txt has no CR LF line ends"
wine=/usr/lib/wine/wine64
export WINEDEBUG=-all
WINEPREFIX=$scratch/wine
export WINEPREFIX
"$wine" wineboot --init > /dev/null 2>&1 || true
cd "$scratch"
cp "$example" reference.txt
printf 'reference.txt zipped.txt\n' | "$wine" "$folder/converter.exe" > /dev/null
[ "$(tr -d '\r' < zipped.txt | md5sum)" == "$(md5sum < "$expected")" ] || fail "converter.exe from the zip"
"$wine" "$folder/converter-batch.exe" --version | tr -d '\r' | grep -qx "converter-batch [0-9.]*" ||
    fail "converter-batch.exe --version from the zip"
mkdir set && cp "$example" set/
"$wine" "$folder/converter-batch.exe" -q -o zipped set
[ "$(tr -d '\r' < zipped/reference.txt | md5sum)" == "$(md5sum < "$expected")" ] || fail "converter-batch.exe from the zip"
echo "run from the zip under Wine: both programs work"
