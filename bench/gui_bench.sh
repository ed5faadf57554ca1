#!/usr/bin/env bash
# The desktop program's figures on the offscreen platform: start to the first
# painted main window, the longest gap between paints while a frame goes out
# in clock packets (about 1 s a packet) to a loopback UDP port, and resident
# memory after start and after that update. Builds a Release GUI tree and
# runs bench/gui/gui_bench, which prints a table: figure, measured, goal.
#   bench/gui_bench.sh [BUILD_DIR] [--packets N]   (default build-rel-gui, 40 packets: ~40 s)
set -euo pipefail
cd "$(dirname "$0")/.."
build=build-rel-gui
if [[ $# -gt 0 && $1 != --* ]]; then
  build=$1
  shift
fi
mkdir -p "$build"
log=$build/gui_bench.configure.log
launcher=()
command -v ccache > /dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DORLAVO_BUILD_GUI=ON -DORLAVO_BUILD_TESTS=OFF \
  -DORLAVO_BUILD_BENCH=ON "${launcher[@]}" > "$log" 2>&1 || { cat "$log"; exit 1; }
cmake --build "$build" -j2 --target gui_bench
QT_QPA_PLATFORM=offscreen "$build/bench/gui/gui_bench" "$@"
