#!/usr/bin/env bash
# orlavod --mqtt against a real mosquitto on 127.0.0.1, watched and driven
# with mosquitto_sub and mosquitto_pub as a home automation system would: the
# broker is down when the service starts, comes up, takes the discovery
# configs and the state, passes an announcement on to signsim (127.0.0.2),
# and says "offline" for the service after a kill -9.
set -euo pipefail
orlavod=$1
signsim=$2
source "$(dirname "$0")/../support/scratch.sh"

feed_and_sign "Service headline"
# The name holds a blank, which its topic level turns into '_'.
printf '[CommMethod]\r\nREMOTEIP=127.0.0.2\r\nREMOTEPORT=%s\r\nEMBEDDED=0\r\nETHERNET=1\r\nSERIAL=0\r\n[AccessPoint]\r\nACCESSPOINTIP0=http://127.0.0.1:%s/feed.xml\r\n[Sign]\r\nName=Front desk\r\n' \
  "$sign_port" "$http_port" > "$dir/front.ini"
sign=orlavo/Front_desk
broker_port=$(free_port)
# start_broker ANONYMOUS [LINES]: mosquitto on 127.0.0.1:$broker_port, ready;
# anonymous clients allowed or not, LINES added to its configuration.
start_broker() {
  # As root, mosquitto would read the certificates as its own user, which the scratch folder keeps out.
  printf 'listener %s 127.0.0.1\nallow_anonymous %s\npersistence false\nuser %s\n%b' \
    "$broker_port" "$1" "$(id -un)" "${2:-}" > "$dir/broker.conf"
  "${with_parent[@]}" mosquitto -c "$dir/broker.conf" 2> "$dir/broker.log" &
  broker=$!
  pids+=($broker)
  wait_for "python3 -c \"import socket; socket.create_connection(('127.0.0.1', $broker_port), 0.2)\" 2>/dev/null" \
    || fail "mosquitto did not start"
}
start_service() {  # LOG ARGS...: orlavod on front.ini, its stderr in LOG
  local log=$1
  shift
  "${with_parent[@]}" "$orlavod" --settings "$dir/front.ini" --update-now "$@" 2> "$log" &
  svc=$!
  pids+=($svc)
}
pub() { mosquitto_pub -h 127.0.0.1 -p "$broker_port" "$@"; }
# retained TOPIC: the payload the broker keeps for TOPIC (empty when none arrives within 5 s).
retained() { timeout 5 mosquitto_sub -h 127.0.0.1 -p "$broker_port" -t "$1" --retained-only -C 1 -W 5 2>/dev/null || true; }
shown() { grep -c "^MESSAGE $1\$" "$dir/sign.out" || true; }

# A broker that is away holds nothing up; the service connects once it is there.
at=(--mqtt "127.0.0.1:$broker_port")
start_service "$dir/service.log" "${at[@]}"
wait_for "[ \$(shown 'green:Service headline ') -ge 1 ]" || fail "the headlines never reached the sign"
wait_for "grep -q 'MQTT: cannot reach the broker 127.0.0.1:$broker_port' '$dir/service.log'" || fail "no word of the broker being away"
# watch: every message under orlavo/ from now on, appended to watch.out.
watch() {
  "${with_parent[@]}" mosquitto_sub -h 127.0.0.1 -p "$broker_port" -v -t 'orlavo/#' >> "$dir/watch.out" 2> /dev/null &
  pids+=($!)
}
# connected N: waits for the Nth "connected" line; the back-off doubles (1 s,
# 2 s, 4 s, ...), so on a loaded machine the next try may be 30 s away.
connected() {
  for _ in 1 2 3 4; do
    wait_for "[ \$(grep -c 'MQTT: connected to 127.0.0.1:$broker_port' '$dir/service.log') -ge $1 ]" && return 0
  done
  return 1
}
start_broker true
watch
connected 1 || fail "the service never connected"

node=$(retained 'homeassistant/text/+/announcement/config' | python3 -c 'import json,sys; c=json.load(sys.stdin); print(c["command_topic"], c["device"]["name"], c["availability_mode"], len(c["availability"]))') \
  || fail "no retained discovery config for the announcement"
[ "$node" = "$sign/announce Front desk all 2" ] || fail "announcement config: $node"
for config in button/+/update sensor/+/last_update sensor/+/failing_since sensor/+/headlines; do
  [ -n "$(retained "homeassistant/$config/config")" ] || fail "no retained discovery config $config"
done
state=$(retained "$sign/state")
python3 -c 'import json,sys; s=json.loads(sys.argv[1]); assert s["name"]=="Front desk" and s["headlines"][0]["text"].startswith("Service headline") and s["utc_offset"][0] in "+-", s' "$state" \
  || fail "state: $state"
[ "$(retained "$sign/availability")" = online ] || fail "the sign is not online"
[ "$(retained orlavo/availability)" = online ] || fail "the service is not online"

# Commands: text, JSON, hostile payloads, an unknown sign.
pub -t "$sign/announce" -m 'Fire drill'
wait_for "[ \$(shown 'red:Fire drill') = 1 ]" || fail "the announcement did not reach the sign"
wait_for "grep -q '\"announcement\":{\"seconds_left\":[0-9]*,\"text\":\"Fire drill\"}' '$dir/watch.out'" || fail "the state did not show the announcement"
pub -t "$sign/announce" -m '{"text": "Lunch", "minutes": 0}'
pub -t "$sign/announce" -m '{"text": "Lunch"'
head -c 9000 /dev/zero | tr '\0' x | pub -t "$sign/announce" -s
pub -t orlavo/nosuch/update -m ''
pub -t "$sign/announce" -m '{"text": "Lunch", "minutes": 5}'
wait_for "[ \$(shown 'red:Lunch') = 1 ]" || fail "the JSON announcement did not reach the sign"
for line in '"minutes" must be a whole number from 1 to 1440' "starts with '{' but is no JSON object" \
  "a message of 9000 bytes on $sign/announce dropped" 'a command for "nosuch" ignored'; do
  grep -qF "$line" "$dir/service.log" || fail "no log line: $line"
done
pub -t "$sign/announce" -n
wait_for "[ \$(shown 'green:Service headline ') -ge 2 ]" || fail "an empty payload did not end the announcement"

# A broker that restarts and forgets everything: the service reconnects,
# subscribes and publishes it all again.
kill "$broker"
wait "$broker" || true
start_broker true
watch
connected 2 || fail "the service did not reconnect"
grep -q "MQTT: connection to 127.0.0.1:$broker_port lost" "$dir/service.log" || fail "the loss was not logged"
[ -n "$(retained "$sign/state")" ] || fail "no state after the reconnect"
[ -n "$(retained 'homeassistant/button/+/update/config')" ] || fail "no discovery config after the reconnect"
updates=$(shown 'green:Service headline ')
pub -t "$sign/update" -m go
wait_for "[ \$(shown 'green:Service headline ') -gt $updates ]" || fail "update now did not send the headlines"

# kill -9: the broker says the service is gone.
kill -KILL "$svc"
{ wait "$svc"; } 2> /dev/null || true
wait_for "grep -qx 'orlavo/availability offline' '$dir/watch.out'" || fail "no offline after kill -9"
# A command kept on the broker would run at every connect: it is ignored.
pub -r -t "$sign/announce" -m 'Kept'

# A clean stop says offline for the sign as well, before it disconnects.
start_service "$dir/restart.log" "${at[@]}" --mqtt-no-discovery
wait_for "[ \"\$(retained orlavo/availability)\" = online ]" || fail "the restarted service is not online"
wait_for "grep -q 'a retained message on $sign/announce ignored' '$dir/restart.log'" || fail "a retained command was not ignored"
pub -r -n -t "$sign/announce"
kill -TERM "$svc"
wait "$svc" || fail "the service exited $? after SIGTERM"
[ "$(retained "$sign/availability")" = offline ] || fail "a clean stop left the sign online"

# Refused credentials are named as such.
kill "$broker"
wait "$broker" || true
start_broker false
printf 'secret\n' > "$dir/password"
start_service "$dir/refused.log" "${at[@]}" --mqtt-user someone --mqtt-password-file "$dir/password"
wait_for "grep -q 'MQTT: the broker refused the user name or password' '$dir/refused.log'" || fail "no word of the refusal"
! grep -q 'cannot reach' "$dir/refused.log" || fail "a refusal was logged as a broker out of reach"
kill -TERM "$svc"
wait "$svc" || fail "the service exited $? after SIGTERM"

# TLS with a CA of the test's own, the broker named in orlavod.conf; a broker
# whose certificate is not trusted (by another CA, or by the system's store)
# is named as such.
kill "$broker"
wait "$broker" || true
ec=(-newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -days 1)
openssl req -x509 "${ec[@]}" -keyout "$dir/ca.key" -out "$dir/ca.pem" -subj /CN=test-ca 2> /dev/null
openssl req -x509 "${ec[@]}" -keyout "$dir/other.key" -out "$dir/other.pem" -subj /CN=other-ca 2> /dev/null
openssl req "${ec[@]}" -keyout "$dir/broker.key" -out "$dir/broker.csr" -subj /CN=127.0.0.1 2> /dev/null
printf 'subjectAltName=IP:127.0.0.1\n' > "$dir/san"
openssl x509 -req -in "$dir/broker.csr" -CA "$dir/ca.pem" -CAkey "$dir/ca.key" -CAcreateserial -days 1 \
  -extfile "$dir/san" -out "$dir/broker.pem" 2> /dev/null
start_broker true "cafile $dir/ca.pem\ncertfile $dir/broker.pem\nkeyfile $dir/broker.key\n"
printf '[Mqtt]\r\nBroker=127.0.0.1:%s\r\nCaFile=%s\r\n' "$broker_port" "$dir/ca.pem" > "$dir/orlavod.conf"
while IFS='|' read -r name args expected; do
  # shellcheck disable=SC2086  # the arguments are split on purpose
  start_service "$dir/tls-$name.log" $args
  wait_for "grep -qF '$expected' '$dir/tls-$name.log'" || fail "TLS, $name: no line \"$expected\""
  kill -TERM "$svc"
  wait "$svc" || fail "the service exited $? after SIGTERM"
done << EOF
ca|--config $dir/orlavod.conf|MQTT: connected to 127.0.0.1:$broker_port
other|--config $dir/orlavod.conf --mqtt-cafile $dir/other.pem|MQTT: cannot reach the broker 127.0.0.1:$broker_port (TLS failed
system|${at[*]} --mqtt-tls|MQTT: cannot reach the broker 127.0.0.1:$broker_port (TLS failed
EOF

# What cannot work stops the start, before any update.
while IFS='|' read -r args said; do
  rc=0
  # shellcheck disable=SC2086  # the arguments are split on purpose
  "$orlavod" --settings "$dir/front.ini" $args 2> "$dir/start.err" || rc=$?
  [ "$rc" = 2 ] && grep -qF "orlavod: MQTT: $said" "$dir/start.err" || fail "$args: exit $rc, $(cat "$dir/start.err")"
done << EOF
--mqtt 127.0.0.1:1 --mqtt-cafile $dir/none.pem|the CA file $dir/none.pem cannot be read
--mqtt 127.0.0.1:1 --mqtt-user u --mqtt-password-file $dir/none|the password file $dir/none does not exist
--mqtt-user u|the MQTT options need a broker
EOF
echo "orlavod --mqtt: passed"
