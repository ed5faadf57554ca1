#!/bin/sh
# Builds the libFuzzer targets with clang in build-fuzz/ and runs them for
# about a minute in all (FUZZ_SECONDS to change): half for the feed parser,
# whose input space is by far the largest, a third for the sign stream decoder
# (each input is decoded four ways, so it runs slowest) and the rest for the
# HTTP header functions, which reach all their branches within seconds.
# Exits non-zero on any crash, failed check or sanitizer report.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build-fuzz"
seconds=${FUZZ_SECONDS:-60}

CC=clang CXX=clang++ cmake -S "$root" -B "$build" -G Ninja \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo -DORLAVO_BUILD_FUZZ=ON -DORLAVO_BUILD_TESTS=OFF \
    -DORLAVO_BUILD_GUI=OFF
cmake --build "$build" -j2 --target rss_parse_fuzz http_header_fuzz sign_stream_fuzz

# fuzz <name> <seconds> <max_len>
fuzz() {
    # libFuzzer reads -max_total_time=0 as "no limit".
    time=$2
    [ "$time" -ge 1 ] || time=1
    # Work on a copy so the checked-in seeds stay small and reviewed.
    work="$build/corpus/$1"
    mkdir -p "$work"
    cp "$root"/fuzz/corpus/"$1"/* "$work"/
    echo "fuzz: $1 for ${time} s"
    "$build/fuzz/$1_fuzz" -max_total_time="$time" -max_len="$3" -timeout=10 \
        -rss_limit_mb=2048 -print_final_stats=1 "$work"
}

fuzz rss_parse $((seconds / 2)) 65536
# Past the decoder's 16 KiB frame cap, so inputs can reach the overlong path.
fuzz sign_stream $((seconds / 3)) 20000
fuzz http_header $((seconds - seconds / 2 - seconds / 3)) 8192
