#!/usr/bin/env bash
# orlavo started with a bad argument: exit 2 and a message naming it. The
# settings aim at loopback, so a program that wrongly starts sends nowhere else.
set -euo pipefail
orlavo=$1
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
printf '[CommMethod]\r\nREMOTEIP=127.0.0.1\r\nETHERNET=1\r\nSERIAL=0\r\n[AccessPoint]\r\nACCESSPOINTIP0=http://127.0.0.1:9/x.xml\r\n' > "$dir/data.ini"
for bad in --frobnicate stray; do
  set +e
  err=$(timeout 20 "$orlavo" --settings "$dir/data.ini" "$bad" 2>&1 >/dev/null)
  rc=$?
  set -e
  [ "$rc" = 2 ] || { echo "FAIL: $bad: exit $rc: $err" >&2; exit 1; }
  grep -q "^orlavo: .*${bad#--}" <<<"$err" || { echo "FAIL: $bad said: $err" >&2; exit 1; }
done
echo "orlavo arguments: 1 passed, 0 failed"
