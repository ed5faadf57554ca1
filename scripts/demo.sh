#!/usr/bin/env bash
# Installs what is missing, builds orlavod and runs its demo: the bundled feed
# is served on 127.0.0.1, a sign emulator inside the program listens on
# 127.0.0.2, and one update downloads, composes and sends. Nothing leaves
# this machine.
set -euo pipefail
cd "$(dirname "$0")/.."

./scripts/setup.sh

build=build-demo
echo "Building orlavod (first time: a minute or two)..."
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DORLAVO_BUILD_TESTS=OFF -DORLAVO_BUILD_GUI=OFF >/dev/null
cmake --build "$build" -j"$(nproc)" --target orlavod >/dev/null

exec "$build/tools/orlavod/orlavod" --demo
