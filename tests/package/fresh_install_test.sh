#!/usr/bin/env bash
# A fresh configure of the sources (no cache, no preset) puts the library into Debian's multiarch
# folder under any prefix, where the packages and other projects look for it: the library, its
# .so link, pkg-config and CMake files under lib/<multiarch>/ (lib/x86_64-linux-gnu on x86-64).
#   fresh_install_test.sh SOURCE_DIR C_COMPILER CXX_COMPILER
set -euo pipefail
src=$1 cc=$2 cxx=$3
multiarch=$("$cc" -print-multiarch)
[ -n "$multiarch" ] || { echo "SKIP: the compiler names no multiarch folder"; exit 77; }
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
build=$tmp/build prefix=$tmp/prefix

cmake -S "$src" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_C_COMPILER="$cc" \
  -DCMAKE_CXX_COMPILER="$cxx" >"$tmp/configure.log" 2>&1 || { cat "$tmp/configure.log"; exit 1; }
libdir=$(sed -n 's/^CMAKE_INSTALL_LIBDIR:PATH=//p' "$build/CMakeCache.txt")
echo "CMAKE_INSTALL_LIBDIR: $libdir"
[ "$libdir" = "lib/$multiarch" ] || { echo "FAIL: expected lib/$multiarch"; exit 1; }
# Only the library is built; its folder's install rules are the library's own.
nice cmake --build "$build" --target orvel_startup >"$tmp/build.log" 2>&1 ||
  { cat "$tmp/build.log"; exit 1; }
cmake --install "$build/startup" --prefix "$prefix" >"$tmp/install.log" ||
  { cat "$tmp/install.log"; exit 1; }
for file in libOrvel.Startup.so.1.0.0 libOrvel.Startup.so.1 libOrvel.Startup.so \
  pkgconfig/orvel-startup.pc cmake/OrvelStartup/OrvelStartupConfig.cmake; do
  [ -e "$prefix/lib/$multiarch/$file" ] ||
    { echo "FAIL: no lib/$multiarch/$file"; (cd "$prefix" && find . -type f -o -type l); exit 1; }
done
if [ -e "$prefix/lib/libOrvel.Startup.so.1" ]; then echo "FAIL: the library also in lib/"; exit 1; fi
echo "the library and its files are in lib/$multiarch/"
