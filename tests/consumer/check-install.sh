#!/usr/bin/env bash
# Builds the getting-started program from outside the tree against the
# package as users get it: installed (static and shared) through
# find_package and through pkg-config, as a CMake subproject, and from the
# Debian package. Usage: tests/consumer/check-install.sh BUILD_DIR
# (a configured, built release tree of the package). Needs root for the
# Debian package step; skips it otherwise.
set -euo pipefail
cd "$(dirname "$0")/../.."
src=$PWD
build=$(cd "$1" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
jobs=$(nproc 2>/dev/null || echo 2)

say() { echo "== consumer: $*"; }
# Runs a built hello_cube off screen and checks that it wrote its picture.
run_hello() {
  (cd "$work" && KV_BACKEND=headless "$1" --headless --frames 3 --screenshot "$work/shot.png")
  test -s "$work/shot.png" || { echo "consumer: $1 wrote no picture" >&2; exit 1; }
  rm -f "$work/shot.png"
}
consumer_cmake() {  # dir, extra cmake args...
  local dir=$1; shift
  cmake -S "$src/tests/consumer" -B "$dir" "$@" >/dev/null
  cmake --build "$dir" -j "$jobs" >/dev/null
  run_hello "$dir/hello_cube"
}
pkgconfig_build() {  # prefix
  local pc
  pc=$(find "$1" -name korvane3d.pc -print -quit)
  g++ -o "$work/hello_pc" "$src/examples/hello_cube.cpp" \
      $(PKG_CONFIG_PATH=$(dirname "$pc") pkg-config --cflags --libs korvane3d) -Wl,-rpath,"$1/lib"
  run_hello "$work/hello_pc"
}

say "static install, find_package and pkg-config"
cmake --install "$build" --prefix "$work/static" >/dev/null
test -f "$work/static/include/korvane3d/Korvane3D.h"
test -f "$work/static/lib/libkorvane3d.a"
test -f "$work/static/lib/libkverror.so"
consumer_cmake "$work/fp-static" -DCMAKE_PREFIX_PATH="$work/static"
pkgconfig_build "$work/static"
(cd "$work" && KV_BACKEND=headless "$work/static/bin/kv3dview" --headless --frames 2 --screenshot "$work/view.png" >/dev/null)
test -s "$work/view.png"

say "shared library with its SONAME"
cmake -S "$src" -B "$work/shared-build" -DCMAKE_BUILD_TYPE=Release -DBUILD_SHARED_LIBS=ON \
      -DKV_BUILD_TESTS=OFF -DKV_BUILD_BENCH=OFF >/dev/null
cmake --build "$work/shared-build" -j "$jobs" >/dev/null
cmake --install "$work/shared-build" --prefix "$work/shared" >/dev/null
readelf -d "$work/shared/lib/libkorvane3d.so" | grep -q 'SONAME.*libkorvane3d\.so\.0\.' 
consumer_cmake "$work/fp-shared" -DCMAKE_PREFIX_PATH="$work/shared"
pkgconfig_build "$work/shared"
(cd "$work" && KV_BACKEND=headless "$work/shared/bin/kv3dview" --headless --frames 2 --screenshot "$work/view.png" >/dev/null)

say "subproject (add_subdirectory): the package's tests and programs stay out"
cmake -S "$src/tests/consumer" -B "$work/sub" -DKORVANE3D_SOURCE_DIR="$src" >/dev/null
if cmake --build "$work/sub" --target help | grep -Eq 'test_|kvbench|kv3dview'; then
  echo "consumer: the subproject built the package's tests or programs" >&2; exit 1
fi
grep -q '^CMAKE_BUILD_TYPE:STRING=$' "$work/sub/CMakeCache.txt" ||
  { echo "consumer: the package set the consumer's build type" >&2; exit 1; }
cmake --build "$work/sub" -j "$jobs" >/dev/null
run_hello "$work/sub/hello_cube"

if [ "$(id -u)" -eq 0 ] && command -v dpkg >/dev/null; then
  say "Debian package"
  (cd "$build" && cpack -G DEB >/dev/null)
  deb=$(ls "$build"/korvane3d_*.deb | head -n 1)
  dpkg -i "$deb" >/dev/null
  trap 'dpkg -r korvane3d >/dev/null 2>&1 || true; rm -rf "$work"' EXIT
  consumer_cmake "$work/fp-deb"
  pkgconfig_build /usr
  (cd "$work" && KV_BACKEND=headless kv3dview --headless --frames 2 --screenshot "$work/view.png" >/dev/null)
  dpkg -r korvane3d >/dev/null
else
  say "Debian package skipped (needs root and dpkg)"
fi
say "all consumers built and ran"
