#!/usr/bin/env bash
# Installs what is missing, builds everything with AddressSanitizer and
# UndefinedBehaviorSanitizer (the desktop program too), runs the whole test
# suite, with the window tests on the offscreen platform and under Xvfb, then a
# short fuzz run.
set -euo pipefail
cd "$(dirname "$0")/.."

./scripts/setup.sh
./scripts/check-layers.sh

build=build-test
werror=OFF
if [ "${CI:-}" = "true" ]; then
  werror=ON
fi
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DORLAVO_SANITIZE=ON -DORLAVO_WERROR="$werror" \
  -DORLAVO_BUILD_GUI=ON >/dev/null
cmake --build "$build" -j"$(nproc)"

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
status=0
# The short fuzz run goes first so CTest's summary closes the output.
if [ -x scripts/fuzz-short.sh ]; then
  ./scripts/fuzz-short.sh > "$build/fuzz-short.log" 2>&1 || { status=1; tail -40 "$build/fuzz-short.log"; }
  echo "fuzz: $(grep -c . "$build/fuzz-short.log") lines of output in $build/fuzz-short.log, exit status $status"
fi
ctest --test-dir "$build" --output-on-failure -j"$(nproc)" || status=$?
exit "$status"
