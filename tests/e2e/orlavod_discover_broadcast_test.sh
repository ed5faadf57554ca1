#!/usr/bin/env bash
# orlavod discover with all octets at 255: one probe to the limited broadcast
# address. Real broadcast goes only over a veth pair inside a network
# namespace this test creates, never over the machine's own interfaces.
# Usage: orlavod_discover_broadcast_test.sh ORLAVOD SIGNSIM
set -u
orlavod=$1
signsim=$2
if ! command -v ip >/dev/null 2>&1 || ! unshare --net true 2>/dev/null; then
  echo "SKIPPED: 'unshare --net' is not allowed here (or 'ip' is missing); the broadcast walk is not tested"
  exit 77
fi

exec unshare --net bash -s "$orlavod" "$signsim" <<'INNER'
set -eu
orlavod=$1
signsim=$2
work=$(mktemp -d)
trap 'kill $sim 2>/dev/null || true; wait 2>/dev/null || true; rm -rf "$work"' EXIT
ip link set lo up
ip link add disc0 type veth peer name disc1
ip addr add 10.213.7.1/24 dev disc0
ip addr add 10.213.7.2/24 dev disc1
ip link set disc0 up
ip link set disc1 up
# The limited broadcast address leaves through the pair, the namespace's only link.
ip route add default dev disc0

# The sign listens on every address (a broadcast reaches no socket bound to
# one unicast address) and is started first: the program's endpoint, bound
# last, receives the unicast replies.
setpriv --pdeathsig KILL "$signsim" --port 0 --reply-address 10.213.7.2 --name Netns >/dev/null 2>"$work/sim.err" &
sim=$!
for _ in $(seq 50); do
  grep -q "answering discovery probes" "$work/sim.err" && break
  sleep 0.1
done
printf '[CommMethod]\r\nEthernet=1\r\n[Discovery]\r\nPort=16001\r\n' >"$work/data.ini"
"$orlavod" discover --settings "$work/data.ini" >"$work/out" 2>"$work/err" || {
  echo "orlavod discover failed:"; cat "$work/err"; exit 1; }
expected=$(printf 'IP: 010.213.007.002\t   MAC: 00-50-C2-D5-07-02     NAME: Netns               ')
if ! [ -s "$work/out" ] || grep -v -x -F "$expected" "$work/out"; then
  echo "unexpected list:"; cat -A "$work/out"; echo "signsim:"; cat "$work/sim.err"; exit 1
fi
grep -q "answered a discovery probe from 10.213.7.1" "$work/sim.err" || {
  echo "the probe did not arrive by broadcast:"; cat "$work/sim.err"; exit 1; }
echo "broadcast walk listed: $(head -1 "$work/out")"
INNER
