#!/usr/bin/env bash
# Peak memory of `orlavod --once` for a large feed, against the body size.
# Everything stays on loopback: the feed from python's http.server on
# 127.0.0.1, the frame to a port on 127.0.0.2 where nothing listens.
#   bench/once_memory.sh BUILD_DIR [MIB]     (MIB: feed size, default 60)
set -euo pipefail
build=$1
mib=${2:-60}
orlavod="$build/tools/orlavod/orlavod"
dir=$(mktemp -d)
trap 'kill $(jobs -p) 2>/dev/null; rm -rf "$dir"' EXIT
python3 - "$dir/feed.xml" "$mib" <<'PY'
import sys
path, mib = sys.argv[1], int(sys.argv[2])
item = "<item><title>Headline %07d about the harbour</title><description>%s</description></item>\n"
with open(path, "w") as f:
    f.write('<?xml version="1.0" encoding="UTF-8"?>\n<rss version="2.0"><channel><title>Big</title>\n')
    n, size = 0, 0
    while size < mib << 20:
        line = item % (n, "Ferries run again " * 20)
        f.write(line); size += len(line); n += 1
    f.write("</channel></rss>\n")
PY
port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
python3 -m http.server "$port" --bind 127.0.0.1 --directory "$dir" > /dev/null 2>&1 &
for _ in $(seq 50); do python3 -c "import socket; socket.create_connection(('127.0.0.1', $port), 0.2)" 2>/dev/null && break; sleep 0.1; done
printf '[CommMethod]\r\nREMOTEIP=127.0.0.2\r\nREMOTEPORT=9\r\nEMBEDDED=0\r\n[AccessPoint]\r\nACCESSPOINTIP0=http://127.0.0.1:%s/feed.xml\r\n' "$port" > "$dir/data.ini"
/usr/bin/time -f '%M' -o "$dir/peak" "$orlavod" --settings "$dir/data.ini" --once > "$dir/out" 2> "$dir/err" || true
body=$(stat -c %s "$dir/feed.xml")
peak_kb=$(cat "$dir/peak")
grep -q '^sent ' "$dir/out" || { echo "orlavod sent nothing:" >&2; cat "$dir/err" >&2; exit 1; }
awk -v b="$body" -v p="$peak_kb" 'BEGIN { printf "body %.1f MiB, peak resident %.1f MiB, %.2fx the body\n", b/1048576, p/1024, p*1024/b }'
