#!/bin/sh
# Builds the libFuzzer targets with clang in build-fuzz/ and runs the feed
# parser target for about a minute (FUZZ_SECONDS to change). Exits non-zero
# on any crash or sanitizer report.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build-fuzz"
seconds=${FUZZ_SECONDS:-60}

CC=clang CXX=clang++ cmake -S "$root" -B "$build" -G Ninja \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo -DORLAVO_BUILD_FUZZ=ON -DORLAVO_BUILD_TESTS=OFF \
    -DORLAVO_BUILD_GUI=OFF
cmake --build "$build" -j2 --target rss_parse_fuzz

# Work on a copy so the checked-in seeds stay small and reviewed.
work="$build/corpus/rss_parse"
mkdir -p "$work"
cp "$root"/fuzz/corpus/rss_parse/* "$work"/
"$build/fuzz/rss_parse_fuzz" -max_total_time="$seconds" -max_len=65536 -timeout=10 \
    -rss_limit_mb=2048 -print_final_stats=1 "$work"
