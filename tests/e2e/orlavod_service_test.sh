#!/usr/bin/env bash
# orlavod --demo and the update cycle as a service, driven as an operator
# would: a web server on 127.0.0.1, signsim on 127.0.0.2, signals to end.
set -euo pipefail
orlavod=$1
signsim=$2
source "$(dirname "$0")/../support/scratch.sh"

# The demo prints the bundled headlines as the sign shows them, exit 0.
"$orlavod" --demo > "$dir/demo.out" 2> "$dir/demo.log" || fail "--demo exited $?"
grep -q '^The sign shows:$' "$dir/demo.out" || fail "--demo printed no sign output"
grep -q '^MESSAGE green:Orlavo shows feed headlines on LED signs' "$dir/demo.out" || fail "--demo headlines"

feed_and_sign "Service headline"

# start_service LOG ARGS...: runs orlavod in the background, its stderr in LOG.
start_service() {
  local log=$1
  shift
  "${with_parent[@]}" "$orlavod" "$@" 2> "$log" &
  svc=$!
  pids+=($svc)
}
# stop_service SIGNAL: sends it and checks the exit status is 0.
stop_service() {
  kill "-$1" "$svc"
  local rc=0
  wait "$svc" || rc=$?
  [ "$rc" = 0 ] || fail "the service exited $rc after SIG$1"
}

settings() {  # $1: file, $2: feed path
  printf '[CommMethod]\r\nREMOTEIP=127.0.0.2\r\nREMOTEPORT=%s\r\nEMBEDDED=0\r\nETHERNET=1\r\nSERIAL=0\r\n[AccessPoint]\r\nACCESSPOINTIP0=http://127.0.0.1:%s/%s\r\n' \
    "$sign_port" "$http_port" "$2" > "$1"
}

# --update-now: one update at start, logged; SIGTERM runs the close sequence.
# The feed sits in a directory, so the web server moves "moved" for good to
# "moved/": the log says where, without --verbose.
mkdir "$dir/www/moved"
cp "$dir/www/feed.xml" "$dir/www/moved/index.html"
settings "$dir/s.ini" moved
start_service "$dir/service.log" --settings "$dir/s.ini" --update-now
wait_for "grep -q 'update http://127.0.0.1:$http_port/moved: 1 items, [0-9]* bytes sent; the feed moved for good to http://127.0.0.1:$http_port/moved/, the stored address was kept (RewriteMovedFeeds=0)$' '$dir/service.log'" \
  || fail "no update logged, or not where the feed moved"
wait_for "grep -q '^MESSAGE .*Service headline' '$dir/sign.out'" || fail "the sign showed nothing"
stop_service TERM
grep -q 'SIGTERM received, closing' "$dir/service.log" || fail "no close logged"
grep -q 'settings written, stopped' "$dir/service.log" || fail "no stop logged"
grep -q $'^COLORSCHEMEINDEX=0\r$' "$dir/s.ini" || fail "the close sequence did not write the settings"
grep -q $'^REMOTEIP=127.0.0.2\r$' "$dir/s.ini" || fail "the settings lost RemoteIP"

# A failed download is logged as a failure and nothing reaches the sign;
# SIGINT ends the service like SIGTERM.
settings "$dir/f.ini" missing.xml
: > "$dir/sign.out"
start_service "$dir/failed.log" --settings "$dir/f.ini" --update-now
wait_for "grep -q 'missing.xml: failed, 404 ' '$dir/failed.log'" || fail "no failure logged"
stop_service INT
grep -q 'nothing sent; no headlines shown yet, the feed has failed since [0-9][0-9]:[0-9][0-9]$' "$dir/failed.log" \
  || fail "failure line incomplete: it must say since when the feed fails"
[ ! -s "$dir/sign.out" ] || fail "a failed update reached the sign"

# Without --update-now nothing happens before the first period ends. An edit
# of the file while it runs survives the close.
settings "$dir/q.ini" feed.xml
start_service "$dir/quiet.log" --settings "$dir/q.ini"
wait_for "grep -q 'started with .*updates every 60 minutes' '$dir/quiet.log'" || fail "no start logged"
sed -i 's/^MESSAGES=10\r$/MESSAGES=2\r/' "$dir/q.ini"
stop_service TERM
if grep -q ' update ' "$dir/quiet.log"; then fail "an update ran before the period"; fi
grep -q $'^MESSAGES=2\r$' "$dir/q.ini" || fail "the close wrote over an edit made while the service ran"

# A second signal while clock packets go out (a second each) ends at once:
# the frame stays partly sent, the log says so, the settings are written.
long=""
for i in $(seq 12); do long="$long<item><title>Headline number $i of a long frame</title></item>"; done
printf '<rss><channel>%s</channel></rss>' "$long" > "$dir/www/long.xml"
settings "$dir/p.ini" long.xml
sed -i 's/^EMBEDDED=0/EMBEDDED=1/' "$dir/p.ini"
start_service "$dir/packets.log" --settings "$dir/p.ini" --update-now --verbose
wait_for "grep -q 'Download complete' '$dir/packets.log'" || fail "the long feed was not downloaded"
sleep 1.5
kill -TERM "$svc"
# Two pending SIGTERMs are one: the second goes once the first was taken.
wait_for "grep -q 'SIGTERM received, closing' '$dir/packets.log'" || fail "first signal not logged"
started=$(date +%s%N)
kill -TERM "$svc"
rc=0
wait "$svc" || rc=$?
elapsed_ms=$(( ($(date +%s%N) - started) / 1000000 ))
[ "$rc" = 1 ] || fail "a forced stop exited $rc"
[ "$elapsed_ms" -lt 2500 ] || fail "the second signal took $elapsed_ms ms to end the program"
grep -q 'second SIGTERM, stopping the frame' "$dir/packets.log" || fail "second signal not logged"
grep -Eq 'long.xml: [0-9]+ items, [0-9]+ bytes, stopped after [0-9]+ of [0-9]+ packets' "$dir/packets.log" \
  || fail "the partly sent frame was not logged as such"
if grep -q 'bytes sent' "$dir/packets.log"; then fail "a cut frame was logged as fully sent"; fi
grep -q 'settings written, stopped' "$dir/packets.log" || fail "no stop logged after the forced end"
grep -q $'^COLORSCHEMEINDEX=0\r$' "$dir/p.ini" || fail "the forced end did not write the settings"

# Settings that cannot be written (no file may grow here) are logged as not
# written; a period that is not a number is logged as updates turned off.
settings "$dir/r.ini" feed.xml
printf '[Parameters]\r\nUPDATEPERIOD=zz\r\n' >> "$dir/r.ini"
# The log goes through a pipe: the limit would stop a log file as well.
(trap '' XFSZ; ulimit -f 0; exec "${with_parent[@]}" "$orlavod" --settings "$dir/r.ini") 2> >(cat > "$dir/readonly.log") &
svc=$!
pids+=($svc)
wait_for "grep -q 'started with' '$dir/readonly.log'" || fail "no start logged"
stop_service TERM
grep -q 'automatic updates are off: the update period "zz" is not a number' "$dir/readonly.log" \
  || fail "the start line did not say that updates are off"
grep -q 'Settings not saved' "$dir/readonly.log" || fail "the failed write was not reported"
grep -q 'settings not written, stopped' "$dir/readonly.log" || fail "the stop claimed the settings were written"
if grep -q 'settings written, stopped' "$dir/readonly.log"; then fail "logged as written"; fi

# Two signs from one folder, updated at once: each line names its sign, and
# SIGTERM lets the clock frame going out end before both write their settings.
mkdir "$dir/signs"
settings "$dir/signs/lobby.ini" feed.xml
settings "$dir/signs/clock.ini" feed.xml
printf '[Sign]\r\nName=Workshop\r\n' >> "$dir/signs/clock.ini"
sed -i 's/^EMBEDDED=0/EMBEDDED=1/' "$dir/signs/clock.ini"
start_service "$dir/signs.log" --signs "$dir/signs" --update-now
wait_for "grep -q '^lobby: orlavod: .* update .*feed.xml: 1 items, [0-9]* bytes sent$' '$dir/signs.log'" \
  || fail "no update of the lobby sign logged"
stop_service TERM
grep -q '^Workshop: orlavod: .* update .*feed.xml: 1 items, [0-9]* bytes sent$' "$dir/signs.log" \
  || fail "the clock sign's frame was cut short by the close"
[ "$(grep -c '^\(lobby\|Workshop\): orlavod: .* settings written, stopped$' "$dir/signs.log")" = 2 ] \
  || fail "not both signs wrote their settings"

echo "orlavod service: 7 passed, 0 failed"
