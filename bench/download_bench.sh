#!/usr/bin/env bash
# Download throughput and peak memory: rssget against curl --http1.0, both
# fetching the same file from a python http.server on 127.0.0.1.
#   bench/download_bench.sh [RSSGET] [SIZE_MB]
# RSSGET defaults to build-bench/tools/rssget/rssget (a Release build is the
# fair comparison). Prints the best wall and CPU time of RUNS (default 3) runs
# and the peak RSS of each, and the ratios. Both write their file into a new
# directory under BENCH_TMP (default: the system's temporary directory): on a
# disk rssget's atomic replace also waits for the data to reach it (fsync),
# on a tmpfs such as /dev/shm that costs nothing and only the transfer counts.
set -euo pipefail

rssget=${1:-build-bench/tools/rssget/rssget}
size_mb=${2:-100}
work=$(mktemp -d -p "${BENCH_TMP:-${TMPDIR:-/tmp}}")
server_pid=
cleanup() {
  [[ -n $server_pid ]] && kill "$server_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

head -c $((size_mb * 1024 * 1024)) /dev/urandom > "$work/body.bin"
python3 -u -m http.server --bind 127.0.0.1 --directory "$work" 0 > "$work/server.out" 2>/dev/null &
server_pid=$!
for _ in $(seq 100); do
  grep -q 'port [0-9]* (' "$work/server.out" 2>/dev/null && break
  sleep 0.1
done
port=$(grep -o 'port [0-9]*' "$work/server.out" | cut -d' ' -f2)
url="http://127.0.0.1:$port/body.bin"

# measure NAME CMD...: prints "NAME seconds kilobytes cpu-seconds" from
# /usr/bin/time -v (cpu: user + system, what the tool itself spent).
measure() {
  local name=$1; shift
  /usr/bin/time -v "$@" > /dev/null 2> "$work/$name.time"
  local wall rss cpu
  wall=$(awk -F': ' '/Elapsed \(wall clock\)/ {print $2}' "$work/$name.time" |
         awk -F: '{ if (NF == 3) print $1*3600 + $2*60 + $3; else print $1*60 + $2 }')
  rss=$(awk -F': ' '/Maximum resident set size/ {print $2}' "$work/$name.time")
  cpu=$(awk -F': ' '/(User|System) time \(seconds\)/ {s += $2} END {print s}' "$work/$name.time")
  echo "$name $wall $rss $cpu"
}

limit=$(( (size_mb + 1) * 1024 * 1024 ))
runs=${RUNS:-3}
for i in $(seq $runs); do
  measure curl curl --http1.0 -s -o "$work/curl.out" "$url"
  measure rssget "$rssget" "$url" --binary --max-body "$limit" -o "$work/rssget.out"
done > "$work/results"
cmp -s "$work/curl.out" "$work/rssget.out" || { echo "outputs differ" >&2; exit 1; }

awk -v mb="$size_mb" '
  { t[$1] = (t[$1] == "" || $2 < t[$1]) ? $2 : t[$1]; if ($3 > m[$1]) m[$1] = $3
    c[$1] = (c[$1] == "" || $4 < c[$1]) ? $4 : c[$1] }
  END {
    printf "body            %d MiB\n", mb
    printf "curl   best     %.2f s   cpu %.2f s   peak RSS %d KiB\n", t["curl"], c["curl"], m["curl"]
    printf "rssget best     %.2f s   cpu %.2f s   peak RSS %d KiB\n", t["rssget"], c["rssget"], m["rssget"]
    printf "time ratio      %.2f (goal <= 1.5)\n", (t["curl"] > 0 ? t["rssget"] / t["curl"] : 0)
    printf "cpu ratio       %.2f\n", (c["curl"] > 0 ? c["rssget"] / c["curl"] : 0)
    printf "memory / body   %.2f (goal <= ~3)\n", m["rssget"] / (mb * 1024)
  }' "$work/results"
