#!/usr/bin/env bash
# Builds liblzma for the Windows cross-build, which Debian ships for Linux only:
# xz-utils' own source from Debian's archive (checked against its SHA-256),
# static (with the encoders, which CMake's FindLibLZMA looks for), into build-windows-deps/ beside the sources, where
# cmake/mingw-w64-x86_64.cmake finds it. Does nothing when it is there already.
# Needs curl, xz-utils and g++-mingw-w64-x86-64-posix.
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
curl -sSfL -o "$work/$tarball" "http://deb.debian.org/debian/pool/main/x/xz-utils/$tarball"
echo "$sha256  $work/$tarball" | sha256sum --check --quiet
tar -xf "$work/$tarball" -C "$work"
cd "$work/xz-$version"
./configure -q --host=x86_64-w64-mingw32 CC=x86_64-w64-mingw32-gcc-posix --prefix="$prefix" \
    --disable-shared --enable-static --enable-threads=no --disable-xz --disable-xzdec \
    --disable-lzmadec --disable-lzmainfo --disable-scripts --disable-doc --disable-nls --disable-lzma-links \
    > /dev/null
make -s -j 2 > /dev/null 2>&1
make -s install > /dev/null
