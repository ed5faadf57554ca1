#!/usr/bin/env bash
# orlavod --web as a user reaches it with curl: refusals at start, the token,
# an announcement that reaches signsim on 127.0.0.2, the event stream, a
# discovery walk over 127.0.0.1-3, a port already taken and HTTPS with a
# certificate made here, named in orlavod.conf. Everything listens on loopback only.
set -euo pipefail
orlavod=$1
signsim=$2
source "$(dirname "$0")/../support/scratch.sh"

# start_refused LOG WANTED ARGS...: orlavod must exit 2 at start, saying WANTED.
start_refused() {
  local log=$1 wanted=$2 rc=0
  shift 2
  "$orlavod" "$@" > /dev/null 2> "$dir/$log" || rc=$?
  [ "$rc" = 2 ] || fail "$* exited $rc, not 2"
  grep -q "$wanted" "$dir/$log" || fail "$* said: $(cat "$dir/$log")"
}

sign_port=$(free_port)
probe_port=$(free_port)
"${with_parent[@]}" "$signsim" --bind 127.0.0.2 --port "$sign_port" --discovery-port "$probe_port" \
  > "$dir/sign.out" 2> "$dir/signsim.log" &
pids+=($!)
printf '[CommMethod]\r\nREMOTEIP=127.0.0.2\r\nREMOTEPORT=%s\r\nEMBEDDED=0\r\nETHERNET=1\r\nSERIAL=0\r\n[Discovery]\r\nstart1=127\r\nstart2=0\r\nstart3=0\r\nstart4=1\r\nend1=127\r\nend2=0\r\nend3=0\r\nend4=3\r\nPort=%s\r\n' \
  "$sign_port" "$probe_port" > "$dir/lobby.ini"
printf 's3cret-token\n' > "$dir/token"
: > "$dir/empty-token"

start_refused open.log "open to the network" --settings "$dir/lobby.ini" --web 0.0.0.0:8080
start_refused empty.log "holds no token" --settings "$dir/lobby.ini" --web 127.0.0.1:0 --web-token-file "$dir/empty-token"
start_refused alone.log "need --web ADDR:PORT" --settings "$dir/lobby.ini" --web-token s3cret
start_refused badcert.log "cannot be read" --settings "$dir/lobby.ini" --web 127.0.0.1:0 --web-cert "$dir/token" \
  --web-key "$dir/token"
start_refused halfcert.log "both a certificate" --settings "$dir/lobby.ini" --web 127.0.0.1:0 --web-cert "$dir/x.pem"

# start_service LOG ARGS...: the service with the web control; sets $svc and $url.
start_service() {
  local log=$1
  shift
  "${with_parent[@]}" "$orlavod" --settings "$dir/lobby.ini" --web-token-file "$dir/token" "$@" 2> "$dir/$log" &
  svc=$!
  pids+=($svc)
  wait_for "grep -q 'web control on ' '$dir/$log'" || fail "the web control did not start"
  url=$(grep -o 'web control on [^ ]*' "$dir/$log" | cut -d' ' -f4)
}
stop_service() {
  kill -TERM "$svc"
  local rc=0
  wait "$svc" || rc=$?
  [ "$rc" = 0 ] || fail "the service exited $rc on SIGTERM"
}
# status METHOD PATH [CURL ARGS...]: the HTTP status; the body in $dir/body.
status() {
  local method=$1 path=$2
  shift 2
  curl -s -o "$dir/body" -w '%{http_code}' -X "$method" "$@" "$url${path#/}"
}
bearer=(-H "Authorization: Bearer s3cret-token")

start_service service.log --web 127.0.0.1:0
[[ $url == http://127.0.0.1:* ]] || fail "the service logged $url"
[ "$(status GET /api/v1/signs)" = 401 ] || fail "the API answered without the token"
[ "$(status GET /api/v1/signs -H 'Authorization: Bearer wrong')" = 401 ] || fail "a wrong token was taken"
[ "$(status GET /api/v1/signs "${bearer[@]}")" = 200 ] || fail "the token was refused"
grep -q '"name":"lobby"' "$dir/body" || fail "no sign lobby in $(cat "$dir/body")"
[ "$(status GET / )" = 200 ] || fail "the page needs no token"
[ "$(status POST /api/v1/signs/lobby/announce "${bearer[@]}" -d '{"text":"Web drill","minutes":5}')" = 200 ] \
  || fail "announce: $(cat "$dir/body")"
wait_for "grep -q '^MESSAGE red:Web drill' '$dir/sign.out'" || fail "the announcement did not reach the sign"
# The stream opens with every sign as it is now; the cookie opens it as the header does.
curl -s -N --max-time 1 -b "orlavo_token=s3cret-token" "${url}api/v1/events" > "$dir/events" || true
grep -q '^event: sign$' "$dir/events" && grep -q '"text":"Web drill"' "$dir/events" \
  || fail "event stream: $(head -c 300 "$dir/events")"
[ "$(status POST /api/v1/discover "${bearer[@]}" -d '{}')" = 200 ] || fail "discover: $(cat "$dir/body")"
grep -q '"address":"127.0.0.2"' "$dir/body" && grep -q '"mac":"00-50-C2-00-00-02"' "$dir/body" \
  || fail "discovery found: $(cat "$dir/body")"
head -c 70000 /dev/zero | tr '\0' x > "$dir/big"
[ "$(status POST /api/v1/signs/lobby/announce "${bearer[@]}" --data-binary @"$dir/big")" = 413 ] \
  || fail "a body over 64 KiB was taken"
# Sixteen event streams at once, and no more.
for i in $(seq 16); do
  curl -s -N --max-time 20 "${bearer[@]}" "${url}api/v1/events" > "$dir/stream$i" &
  pids+=($!)
done
wait_for "[ \$(grep -l '^event: sign' '$dir'/stream* | wc -l) = 16 ]" || fail "sixteen event streams did not open: $(wc -c "$dir"/stream* | tr "\n" " ")"
[ "$(status GET /api/v1/events "${bearer[@]}")" = 503 ] || fail "a seventeenth event stream was taken"
port=${url##*:}
port=${port%/}
start_refused taken.log "the port is in use" --settings "$dir/lobby.ini" --web "127.0.0.1:$port"
stop_service

openssl req -x509 -newkey rsa:2048 -nodes -keyout "$dir/key.pem" -out "$dir/cert.pem" -days 1 -subj /CN=127.0.0.1 \
  -addext subjectAltName=IP:127.0.0.1 2> "$dir/openssl.log"
# This time from the service's own settings file, as a box would have it.
printf '[Web]\nListen=127.0.0.1:0\nCertificate=%s\nKey=%s\n' "$dir/cert.pem" "$dir/key.pem" > "$dir/orlavod.conf"
start_service https.log --config "$dir/orlavod.conf"
[[ $url == https://127.0.0.1:* ]] || fail "the HTTPS service logged $url"
[ "$(status GET /api/v1/signs --cacert "$dir/cert.pem" "${bearer[@]}")" = 200 ] || fail "HTTPS request refused"
curl -s -D "$dir/headers" -o /dev/null --cacert "$dir/cert.pem" -d '{"token":"s3cret-token"}' "${url}api/v1/login"
grep -qi '^set-cookie: orlavo_token=s3cret-token; .*Secure' "$dir/headers" || fail "login cookie: $(cat "$dir/headers")"
stop_service
echo "PASS"
