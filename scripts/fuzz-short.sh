#!/bin/sh
# Builds the libFuzzer targets with clang in build-fuzz/ and runs them for
# about two minutes in all (FUZZ_SECONDS to change), shared by how large each
# input space is: most for the feed parser, then the download state machine
# (every input is downloaded twice, split and whole), the sign stream decoder
# (decoded four ways) and the settings file; the HTTP header functions, the
# byte decoder, the URL splitter and the MQTT command readers reach all their
# branches within seconds.
# Exits non-zero on any crash, failed check or sanitizer report.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build-fuzz"
seconds=${FUZZ_SECONDS:-120}

"$root/fuzz/build.sh" "$build"

# fuzz <name> <shares of 24> <max_len>
fuzz() {
    # libFuzzer reads -max_total_time=0 as "no limit".
    time=$((seconds * $2 / 24))
    [ "$time" -ge 1 ] || time=1
    # Work on a copy so the checked-in seeds stay small and reviewed.
    work="$build/corpus/$1"
    mkdir -p "$work"
    cp "$root"/fuzz/corpus/"$1"/* "$work"/
    echo "fuzz: $1 for ${time} s"
    "$build/fuzz/$1_fuzz" -max_total_time="$time" -max_len="$3" -timeout=10 \
        -rss_limit_mb=2048 -print_final_stats=1 "$work"
}

fuzz rss_parse 4 65536
fuzz download 4 8192
# Past the decoder's 16 KiB frame cap, so inputs can reach the overlong path.
fuzz sign_stream 3 20000
fuzz profile 3 8192
fuzz http_header 2 8192
fuzz feed_decoder 2 8192
fuzz url 2 9000
fuzz discovery_reply 1 4096
fuzz web_api 2 4096
# Past the 8 KiB command payload bound.
fuzz mqtt_command 1 9000
