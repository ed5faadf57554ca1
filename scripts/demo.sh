#!/usr/bin/env bash
# Installs what is missing, builds the program and runs its main job end to
# end on this machine only: the bundled feed is served on 127.0.0.1, the sign
# emulator listens on 127.0.0.2, and one update downloads, composes and sends.
set -euo pipefail
cd "$(dirname "$0")/.."

./scripts/setup.sh

build=build-demo
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DORLAVO_BUILD_TESTS=OFF -DORLAVO_BUILD_GUI=OFF >/dev/null
cmake --build "$build" -j"$(nproc)" --target orlavod signsim >/dev/null

work=$(mktemp -d)
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT

free_port() {
  python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'
}
http_port=$(free_port)
sign_port=$(free_port)

cp data/demo_feed.xml "$work/"
python3 -m http.server "$http_port" --bind 127.0.0.1 --directory "$work" >/dev/null 2>&1 &
pids+=($!)
"$build/tools/signsim/signsim" --bind 127.0.0.2 --port "$sign_port" > "$work/sign.txt" &
pids+=($!)

printf '[CommMethod]\r\nREMOTEIP=127.0.0.2\r\nREMOTEPORT=%s\r\nEMBEDDED=0\r\nETHERNET=1\r\nSERIAL=0\r\n[AccessPoint]\r\nACCESSPOINTIP0=http://127.0.0.1:%s/demo_feed.xml\r\n' \
  "$sign_port" "$http_port" > "$work/data.ini"

# Give both servers a moment to listen.
for _ in $(seq 50); do
  if python3 -c "import socket; socket.create_connection(('127.0.0.1', $http_port), 0.1)" 2>/dev/null; then break; fi
  sleep 0.1
done

"$build/tools/orlavod/orlavod" --settings "$work/data.ini" --once
sleep 0.5
echo "The sign shows:"
cat "$work/sign.txt"
grep -q '^MESSAGE ' "$work/sign.txt"
