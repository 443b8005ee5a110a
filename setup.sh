#!/usr/bin/env bash
# Installs what the build needs (Debian packages, when missing), configures
# and builds. Usage:
#   ./setup.sh            release build in build/
#   ./setup.sh asan       address+undefined sanitizer build in build-asan/
#   ./setup.sh tsan       thread sanitizer build in build-tsan/
#   ./setup.sh fuzz       libFuzzer targets (clang) in build-fuzz/
#   ./setup.sh clang      the library and programs built with clang (its
#                         thread-safety analysis on) in build-clang/
# Run as root (or with sudo) the first time on a fresh machine. Extra CMake
# arguments may be given in KV_CMAKE_ARGS (CI sets -DKV_WERROR=ON).
set -euo pipefail
cd "$(dirname "$0")"

packages=(cmake g++ make pkg-config libsdl2-dev zlib1g-dev libpng-dev libgtest-dev libbenchmark-dev
          xvfb xauth xdotool libosmesa6-dev libirrlicht-dev
          libepoxy-dev libegl-dev libgl-dev libegl-mesa0 libgl1-mesa-dri)
flavour=${1:-release}
[ "$flavour" = fuzz ] && packages+=(clang libclang-rt-14-dev)
[ "$flavour" = clang ] && packages+=(clang)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}" >&2
  SUDO=""; [ "$(id -u)" -ne 0 ] && SUDO=sudo
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

jobs=$(nproc 2>/dev/null || echo 2)
case "$flavour" in
  release) dir=build;      args=(-DCMAKE_BUILD_TYPE=Release) ;;
  asan)    dir=build-asan; args=(-DCMAKE_BUILD_TYPE=Debug -DKV_SANITIZE=address -DKV_BUILD_BENCH=OFF) ;;
  tsan)    dir=build-tsan; args=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DKV_SANITIZE=thread -DKV_BUILD_BENCH=OFF) ;;
  fuzz)    dir=build-fuzz; args=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DKV_FUZZ=ON -DKV_BUILD_TESTS=OFF
                                 -DKV_BUILD_BENCH=OFF -DKV_BUILD_APPS=OFF -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++) ;;
  clang)   dir=build-clang; args=(-DCMAKE_BUILD_TYPE=Debug -DKV_BUILD_TESTS=OFF -DKV_BUILD_BENCH=OFF
                                 -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++) ;;
  *) echo "setup: unknown build '$flavour' (release, asan, tsan, fuzz, clang)" >&2; exit 2 ;;
esac
read -r -a extra <<< "${KV_CMAKE_ARGS:-}"
cmake -S . -B "$dir" "${args[@]}" "${extra[@]}" >/dev/null
cmake --build "$dir" -j "$jobs"
