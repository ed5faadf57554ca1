#!/usr/bin/env bash
# Installs what is missing, builds everything with AddressSanitizer and
# UndefinedBehaviorSanitizer (the desktop program too), runs the whole test
# suite, with the window tests on the offscreen platform and under Xvfb, then a
# short fuzz run.
#   ./scripts/test.sh             the sanitizer build, in build-test/
#   ./scripts/test.sh --release   a Release build without sanitizers, the whole suite, in build-release/
#   ./scripts/test.sh --clang     a clang build, its unit and window tests, in build-clang/
set -euo pipefail
cd "$(dirname "$0")/.."

row=sanitizers
case "${1:-}" in
  "") ;;
  --release) row=release ;;
  --clang) row=clang ;;
  *) echo "usage: $0 [--release | --clang]" >&2; exit 2 ;;
esac

./scripts/setup.sh
./scripts/check-layers.sh

werror=OFF
if [ "${CI:-}" = "true" ]; then
  werror=ON
fi
config=(-G Ninja -DORLAVO_WERROR="$werror" -DORLAVO_BUILD_GUI=ON -DORLAVO_BUILD_TESTS=ON)
tests=()
case $row in
  sanitizers)
    build=build-test
    config+=(-DCMAKE_BUILD_TYPE=Debug -DORLAVO_SANITIZE=ON)
    export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
    export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
    ;;
  release)
    build=build-release
    config+=(-DCMAKE_BUILD_TYPE=Release -DORLAVO_SANITIZE=OFF)
    ;;
  clang)
    # The other rows run the end-to-end and install tests on the same code.
    build=build-clang
    config+=(-DCMAKE_BUILD_TYPE=Debug -DORLAVO_SANITIZE=OFF -DCMAKE_CXX_COMPILER=clang++)
    tests=(-E '^(e2e_|install_tree$|pellix_examples$|man_pages_match_help$|pellix_api_reference$)')
    ;;
esac
cmake -S . -B "$build" "${config[@]}" >/dev/null
cmake --build "$build" -j"$(nproc)"

status=0
# The short fuzz run goes first so CTest's summary closes the output.
if [ "$row" = sanitizers ] && [ -x scripts/fuzz-short.sh ]; then
  ./scripts/fuzz-short.sh > "$build/fuzz-short.log" 2>&1 || { status=1; tail -40 "$build/fuzz-short.log"; }
  echo "fuzz: $(grep -c . "$build/fuzz-short.log") lines of output in $build/fuzz-short.log, exit status $status"
fi
ctest --test-dir "$build" --output-on-failure -j"$(nproc)" "${tests[@]}" || status=$?
exit "$status"
