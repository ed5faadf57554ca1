#!/usr/bin/env bash
# examples_test.sh BUILD_DIR SOURCE_DIR CXX [CXXFLAGS]: installs libpellix and its
# development files into a fresh prefix, checks that the library exports
# pellix:: names only, builds examples/ against that prefix with CMake and
# with pkg-config, and runs both builds on a file and on a loopback server.
# CXXFLAGS: what a sanitizer build's library needs from its programs.
set -euo pipefail
build=$1 source=$2 cxx=$3 flags=${4:-}
source "$(dirname "$0")/../support/scratch.sh"
unset LD_LIBRARY_PATH
prefix="$dir/prefix"  # no blank: pkg-config output is split into words
for component in libpellix1 libpellix-dev; do
  cmake --install "$build" --prefix "$prefix" --component "$component" >> "$dir/install.log" || fail "install $component"
done
lib=$(find "$prefix" -name 'libpellix.so.1' | head -1)
pc=$(find "$prefix" -name pellix.pc | head -1)
[ -n "$lib" ] && [ -n "$pc" ] || fail "libpellix.so.1 or pellix.pc not installed"

# The ABI: the version node and pellix:: names, nothing else.
others=$(nm -D --defined-only -C "$lib" | cut -d' ' -f3- | grep -v -e '^PELLIX_1$' -e '^pellix::' \
  -e '^\(typeinfo\|typeinfo name\|vtable\) for pellix::' -e 'thunk to pellix::' || true)
[ -z "$others" ] || fail "libpellix exports more than pellix:: names: $(head -5 <<< "$others")"

# Both builds of both examples.
cmake -S "$source/examples" -B "$dir/cmake" -G Ninja -DCMAKE_PREFIX_PATH="$prefix" -DCMAKE_CXX_COMPILER="$cxx" \
  -DCMAKE_CXX_FLAGS="$flags" > "$dir/cmake.log" 2>&1 || fail "examples: CMake configure"
cmake --build "$dir/cmake" >> "$dir/cmake.log" 2>&1 || fail "examples: CMake build"
mkdir "$dir/pc"
for example in parse_feed fetch_feed; do
  # shellcheck disable=SC2046,SC2086  # the flags are words
  "$cxx" -std=c++20 $flags "$source/examples/$example.cpp" -o "$dir/pc/$example" \
    $(PKG_CONFIG_PATH="${pc%/*}" pkg-config --cflags --libs pellix) -Wl,-rpath,"${lib%/*}" \
    >> "$dir/pkg-config.log" 2>&1 || fail "examples: pkg-config build of $example"
done

# A feed with a title that needs decoding and one with markup in it.
mkdir "$dir/www"
printf '<?xml version="1.0" encoding="windows-1252"?>\n<rss><channel><title>T</title>\n<item><title>Caf\xe9 opens</title></item>\n<item><title>Rain &amp; <b>wind</b></title></item>\n</channel></rss>\n' \
  > "$dir/www/feed.xml"
printf 'Caf\xc3\xa9 opens\nRain and wind\n' > "$dir/want.txt"
port=$(free_port)
serve_www "$port"
for bin in "$dir/cmake" "$dir/pc"; do
  "$bin/parse_feed" "$dir/www/feed.xml" > "$dir/parsed.txt" 2> "$dir/parse.log" || fail "$bin/parse_feed exited $?"
  cmp -s "$dir/parsed.txt" "$dir/want.txt" || fail "$bin/parse_feed printed: $(cat "$dir/parsed.txt")"
  "$bin/fetch_feed" "http://127.0.0.1:$port/feed.xml" > "$dir/fetched.txt" 2> "$dir/fetch.log" \
    || fail "$bin/fetch_feed exited $?"
  cmp -s "$dir/fetched.txt" "$dir/want.txt" || fail "$bin/fetch_feed printed: $(cat "$dir/fetched.txt")"
done
# Failures reach the user as a message and a non-zero status.
if "$dir/cmake/parse_feed" "$dir/missing.xml" 2> "$dir/missing.log"; then fail "parse_feed on a missing file succeeded"; fi
grep -q 'missing.xml' "$dir/missing.log" || fail "parse_feed did not name the missing file"
if "$dir/cmake/fetch_feed" "http://127.0.0.1:$port/none.xml" 2> "$dir/none.log"; then fail "fetch_feed on a 404 succeeded"; fi
grep -q '404' "$dir/none.log" || fail "fetch_feed did not report the 404"
echo "examples: built with CMake and pkg-config against $prefix, parsed and fetched"
