#!/bin/sh
# Configures and builds every libFuzzer target with clang in the given
# directory (default build-fuzz/); shared by scripts/fuzz-short.sh and
# fuzz/run-long.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-"$root/build-fuzz"}
CC=clang CXX=clang++ cmake -S "$root" -B "$build" -G Ninja \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo -DORLAVO_BUILD_FUZZ=ON -DORLAVO_BUILD_TESTS=OFF \
    -DORLAVO_BUILD_GUI=OFF >/dev/null
cmake --build "$build" -j2 --target $(sed -n 's/^orlavo_add_fuzzer(\([a-z_]*\) .*/\1_fuzz/p' "$root/fuzz/CMakeLists.txt")
