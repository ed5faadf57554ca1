#!/usr/bin/env bash
# orlavod --demo and the update cycle as a service, driven as an operator
# would: a web server on 127.0.0.1, signsim on 127.0.0.2, signals to end.
set -euo pipefail
orlavod=$1
signsim=$2
dir=$(mktemp -d)
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  rm -rf "$dir"
}
trap cleanup EXIT
fail() {
  echo "FAIL: $*" >&2
  for f in "$dir"/*.log; do echo "--- $f" >&2; cat "$f" >&2; done
  exit 1
}
passed=0

# Polls (at most about ten seconds) until the command succeeds.
wait_for() {
  for _ in $(seq 100); do
    if eval "$1"; then return 0; fi
    sleep 0.1
  done
  return 1
}
free_port() {
  python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'
}

# The demo prints the bundled headlines as the sign shows them, exit 0.
"$orlavod" --demo > "$dir/demo.out" 2> "$dir/demo.log" || fail "--demo exited $?"
grep -q '^The sign shows:$' "$dir/demo.out" || fail "--demo printed no sign output"
grep -q '^MESSAGE green:Orlavo shows feed headlines on LED signs' "$dir/demo.out" || fail "--demo headlines"
passed=$((passed + 1))

mkdir "$dir/www"
printf '<rss><channel><item><title>Service headline</title></item></channel></rss>' > "$dir/www/feed.xml"
http_port=$(free_port)
python3 -m http.server "$http_port" --bind 127.0.0.1 --directory "$dir/www" > /dev/null 2>&1 &
pids+=($!)
sign_port=$(free_port)
"$signsim" --bind 127.0.0.2 --port "$sign_port" > "$dir/sign.out" 2> "$dir/signsim.log" &
pids+=($!)
wait_for "python3 -c \"import socket; socket.create_connection(('127.0.0.1', $http_port), 0.2)\" 2>/dev/null" \
  || fail "web server did not start"

settings() {  # $1: file, $2: feed path
  printf '[CommMethod]\r\nREMOTEIP=127.0.0.2\r\nREMOTEPORT=%s\r\nEMBEDDED=0\r\nETHERNET=1\r\nSERIAL=0\r\n[AccessPoint]\r\nACCESSPOINTIP0=http://127.0.0.1:%s/%s\r\n' \
    "$sign_port" "$http_port" "$2" > "$1"
}

# --update-now: one update at start, logged; SIGTERM runs the close sequence.
settings "$dir/s.ini" feed.xml
"$orlavod" --settings "$dir/s.ini" --update-now 2> "$dir/service.log" &
svc=$!
pids+=($svc)
wait_for "grep -q 'update http://127.0.0.1:$http_port/feed.xml: 1 items, [0-9]* bytes sent' '$dir/service.log'" \
  || fail "no update logged"
wait_for "grep -q '^MESSAGE .*Service headline' '$dir/sign.out'" || fail "the sign showed nothing"
kill -TERM "$svc"
rc=0; wait "$svc" || rc=$?
[ "$rc" = 0 ] || fail "service exited $rc after SIGTERM"
grep -q 'SIGTERM received, closing' "$dir/service.log" || fail "no close logged"
grep -q 'settings written, stopped' "$dir/service.log" || fail "no stop logged"
grep -q $'^COLORSCHEMEINDEX=0\r$' "$dir/s.ini" || fail "the close sequence did not write the settings"
grep -q $'^REMOTEIP=127.0.0.2\r$' "$dir/s.ini" || fail "the settings lost RemoteIP"
passed=$((passed + 1))

# A failed download is logged as a failure and nothing reaches the sign;
# SIGINT ends the service like SIGTERM.
settings "$dir/f.ini" missing.xml
: > "$dir/sign.out"
"$orlavod" --settings "$dir/f.ini" --update-now 2> "$dir/failed.log" &
svc=$!
pids+=($svc)
wait_for "grep -q 'feed.xml\|missing.xml: failed, 404 ' '$dir/failed.log'" || fail "no failure logged"
kill -INT "$svc"
rc=0; wait "$svc" || rc=$?
[ "$rc" = 0 ] || fail "service exited $rc after SIGINT"
grep -q 'nothing sent' "$dir/failed.log" || fail "failure line incomplete"
[ ! -s "$dir/sign.out" ] || fail "a failed update reached the sign"
passed=$((passed + 1))

# Without --update-now nothing happens before the first period ends.
settings "$dir/q.ini" feed.xml
"$orlavod" --settings "$dir/q.ini" 2> "$dir/quiet.log" &
svc=$!
pids+=($svc)
wait_for "grep -q 'started with .*updates every 60 minutes' '$dir/quiet.log'" || fail "no start logged"
kill -TERM "$svc"
rc=0; wait "$svc" || rc=$?
[ "$rc" = 0 ] || fail "quiet service exited $rc"
if grep -q ' update ' "$dir/quiet.log"; then fail "an update ran before the period"; fi
passed=$((passed + 1))

echo "orlavod service: $passed passed, 0 failed"
