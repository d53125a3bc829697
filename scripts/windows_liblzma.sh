#!/usr/bin/env bash
# Builds liblzma for the Windows cross-build, which Debian ships for Linux only:
# xz-utils' own source (checked against its SHA-256), taken with apt-get source
# through the package sources this machine's apt is configured with (their
# deb-src twins, in a list of this script's own, so the system's apt state is
# left as it is and no mirror is named here), static (with the encoders, which
# CMake's FindLibLZMA looks for), into build-windows-deps/ beside the sources,
# where cmake/mingw-w64-x86_64.cmake finds it. Does nothing when it is there
# already. Needs apt-get (Debian or Ubuntu), xz-utils and g++-mingw-w64-x86-64-posix.
# Usage: scripts/windows_liblzma.sh
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
prefix=$root/build-windows-deps
[ -f "$prefix/lib/liblzma.a" ] && exit 0
version=5.4.1
tarball=xz-utils_$version.orig.tar.xz
sha256=5d9827aa1875b21c288f78864bb26d2650b436ea8d2cad364e4921eb6266a5a5
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
command -v apt-get > /dev/null || { echo "windows_liblzma.sh: needs apt-get to fetch xz-utils' source" >&2; exit 1; }
# The configured sources as source sources: deb822 files and one-line lists alike.
apt_dir=$work/apt
mkdir -p "$apt_dir/sources.list.d" "$apt_dir/lists/partial" "$apt_dir/cache/archives/partial"
for list in /etc/apt/sources.list.d/*.sources; do
    [ -f "$list" ] && sed 's/^Types:.*/Types: deb-src/' "$list" > "$apt_dir/sources.list.d/$(basename "$list")"
done
for list in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
    [ -f "$list" ] && sed -n 's/^deb \(.*\)/deb-src \1/p' "$list" >> "$apt_dir/sources.list.d/derived.list"
done
apt_options=(-o Dir::Etc::SourceList=/dev/null -o Dir::Etc::SourceParts="$apt_dir/sources.list.d"
    -o Dir::State::Lists="$apt_dir/lists" -o Dir::Cache="$apt_dir/cache" -o APT::Sandbox::User=root)
apt-get "${apt_options[@]}" -qq update
(cd "$work" && apt-get "${apt_options[@]}" -qq source --download-only "xz-utils" > /dev/null)
[ -f "$work/$tarball" ] || { echo "windows_liblzma.sh: the sources hold no $tarball" >&2; exit 1; }
echo "$sha256  $work/$tarball" | sha256sum --check --quiet
tar -xf "$work/$tarball" -C "$work"
cd "$work/xz-$version"
./configure -q --host=x86_64-w64-mingw32 CC=x86_64-w64-mingw32-gcc-posix --prefix="$prefix" \
    --disable-shared --enable-static --enable-threads=no --disable-xz --disable-xzdec \
    --disable-lzmadec --disable-lzmainfo --disable-scripts --disable-doc --disable-nls --disable-lzma-links \
    > /dev/null
make -s -j 2 > /dev/null 2>&1
make -s install > /dev/null
