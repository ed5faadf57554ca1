#!/usr/bin/env bash
# orlavod announce against a running service, as an operator would: the
# service's sign is signsim on 127.0.0.2, the control socket lives in the
# test's own runtime directory (scratch.sh).
set -euo pipefail
orlavod=$1
signsim=$2
source "$(dirname "$0")/../support/scratch.sh"
socket=$XDG_RUNTIME_DIR/orlavo/control.sock

# announce OUT ARGS...: runs orlavod announce, stdout in OUT, stderr in OUT.err; echoes the exit status.
announce() {
  local out=$1
  shift
  local rc=0
  "$orlavod" announce "$@" > "$out" 2> "$out.err" || rc=$?
  echo "$rc"
}

[ "$(announce "$dir/long" "$(head -c 1101 /dev/zero | tr '\0' x)")" = 2 ] || fail "a text over 1100 characters did not exit 2"
grep -qx "orlavod: the announcement is 1101 characters long; a sign takes at most 1100" "$dir/long.err" \
  || fail "too-long message"
[ "$(announce "$dir/none" Hello)" = 1 ] || fail "announce without a service did not exit 1"
grep -qx "orlavod: no orlavod service is running: $socket not found" "$dir/none.err" || fail "no-service message"
mkdir -m 755 "${socket%/*}"
[ "$(announce "$dir/open" Hello)" = 1 ] || fail "announce into a folder open to others did not exit 1"
grep -q "not asking the service: .* closed to others" "$dir/open.err" || fail "open-folder message"
rmdir "${socket%/*}"

mkdir "$dir/www"
printf '<rss><channel><item><title>Service headline</title></item></channel></rss>' > "$dir/www/feed.xml"
printf '<rss><channel><item><title>Lobby headline</title></item></channel></rss>' > "$dir/www/a.xml"
http_port=$(free_port)
serve_www "$http_port"
# Sign a on 127.0.0.3, sign b on 127.0.0.2, each its own signsim and feed.
for sign in a b; do
  sign_port=$(free_port)
  address=$([ "$sign" = a ] && echo 127.0.0.3 || echo 127.0.0.2)
  feed=$([ "$sign" = a ] && echo a.xml || echo feed.xml)
  "${with_parent[@]}" "$signsim" --bind "$address" --port "$sign_port" > "$dir/$sign.out" 2> "$dir/signsim-$sign.log" &
  pids+=($!)
  printf '[CommMethod]\r\nREMOTEIP=%s\r\nREMOTEPORT=%s\r\nEMBEDDED=0\r\nETHERNET=1\r\nSERIAL=0\r\n[AccessPoint]\r\nACCESSPOINTIP0=http://127.0.0.1:%s/%s\r\n' \
    "$address" "$sign_port" "$http_port" "$feed" > "$dir/$sign.ini"
done
start_service() {  # LOG: the service on both signs, its stderr in LOG
  "${with_parent[@]}" "$orlavod" --settings "$dir/a.ini" --settings "$dir/b.ini" --update-now 2> "$1" &
  svc=$!
  pids+=($svc)
}
shown() { grep -c "^MESSAGE $1\$" "$dir/b.out" || true; }

start_service "$dir/service.log"
wait_for "[ \$(shown 'green:Service headline ') = 1 ]" || fail "the headlines never reached the sign"
wait_for "grep -q 'Lobby headline' '$dir/a.out'" || fail "the headlines never reached sign a"
[ "$(stat -c %a "$socket") $(stat -c %a "${socket%/*}")" = "600 700" ] || fail "socket or folder open to others"

[ "$(announce "$dir/on" --sign b --minutes 30 Fire '~04' drill)" = 0 ] || fail "announce exited non-zero"
[ "$(cat "$dir/on")" = "announcing on b for 30 minutes" ] || fail "announce printed: $(cat "$dir/on")"
wait_for "[ \$(shown 'red:Fire -04 drill') = 1 ]" || fail "the announcement did not reach the sign"
grep -q '^Text=Fire -04 drill' "$dir/b.announce" || fail "the announcement was not kept beside the settings"

[ "$(announce "$dir/nosuch" --sign nosuch Hello)" = 1 ] || fail "an unknown sign did not exit 1"
grep -qx 'orlavod: no sign is named "nosuch"; the signs are: 2 signs (a, b)' "$dir/nosuch.err" \
  || fail "unknown-sign message"
! grep -q 'Fire' "$dir/a.out" || fail "the announcement for b reached sign a"

# A restart within its time takes the announcement up again.
kill -TERM "$svc"
wait "$svc" || fail "the service exited $? after SIGTERM"
start_service "$dir/restart.log"
wait_for "grep -q 'announcement taken up again for 30 more minutes: Fire -04 drill' '$dir/restart.log'" \
  || fail "the restart did not take the announcement up"
wait_for "[ \$(shown 'red:Fire -04 drill') = 2 ]" || fail "the restart did not show the announcement again"

[ "$(announce "$dir/clear" --clear)" = 0 ] || fail "announce --clear exited non-zero"
[ "$(cat "$dir/clear")" = "announcement ended on b" ] || fail "--clear printed: $(cat "$dir/clear")"
[ "$(announce "$dir/again" --clear --sign a)" = 0 ] || fail "a --clear with nothing on exited non-zero"
[ "$(cat "$dir/again")" = "no announcement was on a" ] || fail "--clear printed: $(cat "$dir/again")"
wait_for "[ \$(shown 'green:Service headline ') = 2 ]" || fail "the headlines did not come back"
[ ! -e "$dir/b.announce" ] || fail "the kept announcement outlived its end"
grep -q 'announcement on b cleared' "$dir/restart.log" || fail "the clear was not logged"
kill -TERM "$svc"
wait "$svc" || fail "the service exited $? after SIGTERM"
[ ! -e "$socket" ] || fail "the socket outlived the service"
echo "orlavod announce: passed"
