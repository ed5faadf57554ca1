#!/usr/bin/env bash
# Installs what is missing, builds the program and runs its demo: a bundled
# feed served on 127.0.0.1 goes through one update to a sign emulator on
# 127.0.0.2. Nothing leaves this machine.
set -euo pipefail
cd "$(dirname "$0")/.."

./scripts/setup.sh

build=build-demo
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DORLAVO_BUILD_TESTS=OFF -DORLAVO_BUILD_GUI=OFF >/dev/null
cmake --build "$build" -j"$(nproc)" --target orlavod signsim >/dev/null
exec "$build/tools/orlavod/orlavod" --demo
