#!/usr/bin/env bash
# Every performance figure side by side, in one run, from a Release build:
#   cmake -S . -B build-rel -G Ninja -DCMAKE_BUILD_TYPE=Release -DORLAVO_BUILD_BENCH=ON -DORLAVO_BUILD_GUI=OFF
#   cmake --build build-rel -j2 --target parse_bench rssget orlavod
#   bench/compare.sh build-rel
# Prints one table: parse throughput against libxml2 and pugixml, how the
# time on each hostile input grows when the input doubles, the loopback
# download against curl --http1.0, and orlavod --once from its start to the
# first datagram at a sign. RUNS (default 5) sets how many times the download
# and the update run; the best run counts. Everything stays on 127.0.0.1.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
build=${1:-build-rel}
runs=${RUNS:-5}
for tool in bench/parse_bench tools/rssget/rssget tools/orlavod/orlavod; do
  if [[ ! -x $build/$tool ]]; then
    echo "compare.sh: $build/$tool is missing: build parse_bench, rssget and orlavod first" >&2
    exit 2
  fi
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

echo "compare.sh: parse benchmark (a few minutes) ..." >&2
"$build/bench/parse_bench" --benchmark_repetitions=3 --benchmark_out="$work/parse.json" \
  --benchmark_out_format=json > /dev/null

echo "compare.sh: download, $runs runs each ..." >&2
RUNS=$runs "$here/download_bench.sh" "$build/tools/rssget/rssget" 100 > "$work/download-disk.txt"
if [[ -d /dev/shm && -w /dev/shm ]]; then
  RUNS=$runs BENCH_TMP=/dev/shm "$here/download_bench.sh" "$build/tools/rssget/rssget" 100 \
    > "$work/download-tmpfs.txt"
fi

echo "compare.sh: orlavod --once, $runs runs ..." >&2
# A news feed of 20 items from python's http.server, the sign a UDP socket of
# this script's; each run times the process from its start to the datagram.
python3 - "$build/tools/orlavod/orlavod" "$work" "$runs" > "$work/once.txt" <<'PY'
import os, socket, subprocess, sys, time
orlavod, work, runs = sys.argv[1], sys.argv[2], int(sys.argv[3])
feed_dir = os.path.join(work, "feed")
os.mkdir(feed_dir)
item = ("<item><title>Council approves harbour wall repairs &amp; new ferry slot %d</title>"
        "<link>http://gazette.example/story/%d</link><description><![CDATA[<p>Work starts in "
        "<b>June</b> and should last six weeks.</p>]]></description>"
        "<pubDate>Mon, 06 May 2024 07:45:00 GMT</pubDate></item>\n")
with open(os.path.join(feed_dir, "feed.xml"), "w") as f:
    f.write('<?xml version="1.0" encoding="UTF-8"?>\n<rss version="2.0"><channel>'
            "<title>Harbour Town Gazette</title>\n")
    f.writelines(item % (n, n) for n in range(1, 21))
    f.write("</channel></rss>\n")
probe = socket.socket()
probe.bind(("127.0.0.1", 0))
feed_port = probe.getsockname()[1]
probe.close()
server = subprocess.Popen([sys.executable, "-m", "http.server", "--bind", "127.0.0.1",
                           "--directory", feed_dir, str(feed_port)],
                          stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
try:
    for _ in range(100):
        try:
            socket.create_connection(("127.0.0.1", feed_port), 0.2).close()
            break
        except OSError:
            time.sleep(0.1)
    sign = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    sign.bind(("127.0.0.1", 0))
    sign.settimeout(30)
    ini = os.path.join(work, "data.ini")
    for _ in range(runs):
        with open(ini, "w", newline="") as f:
            f.write("[CommMethod]\r\nREMOTEIP=127.0.0.1\r\nREMOTEPORT=%d\r\nEMBEDDED=0\r\n"
                    "[AccessPoint]\r\nACCESSPOINTIP0=http://127.0.0.1:%d/feed.xml\r\n"
                    % (sign.getsockname()[1], feed_port))
        start = time.monotonic()
        run = subprocess.Popen([orlavod, "--settings", ini, "--once"],
                               stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        try:
            sign.recvfrom(65536)
            print("%.1f" % ((time.monotonic() - start) * 1000))
        except socket.timeout:
            print("none")
        run.wait()
finally:
    server.terminate()
    server.wait()
PY

python3 - "$work" <<'PY'
import json, math, os, re, sys
work = sys.argv[1]
# The update pauses 1 s before its request; a whole frame's datagram goes out
# before the frame's own pause, so this is the only fixed wait it includes.
FIXED_WAIT_MS = 1000
rows = []
def row(what, value, against="", ratio="", goal=""):
    rows.append((what, value, against, ratio, goal))

# Best (least CPU) repetition of each benchmark: the machine may be shared,
# and CPU time is what the code itself spends.
best = {}
for b in json.load(open(os.path.join(work, "parse.json")))["benchmarks"]:
    if b.get("run_type") != "iteration":
        continue
    name = b["run_name"]
    if name not in best or b["cpu_time"] < best[name]["cpu_time"]:
        best[name] = b
def gbps(name):
    return best[name]["bytes_per_second"] / 1e9

row("PARSE (CPU time)", "pellix", "libxml2 / pugixml", "x libxml2 / x pugixml")
for size, label in ((20 << 10, "20 KiB"), (2 << 20, "2 MiB"), (100 << 20, "100 MiB")):
    p, l, g = (gbps("BM_%s/%d" % (lib, size)) for lib in ("Pellix", "Libxml2", "Pugixml"))
    row("  feed of %s" % label, "%.2f GB/s" % p, "%.2f / %.2f GB/s" % (l, g),
        "%.1fx / %.2fx" % (p / l, p / g))

row("SCALING t(2n)/t(n) (CPU)", "worst", "every doubling", "", "<= 2.3")
families = {}
for name, b in best.items():
    m = re.match(r"(BM_\w+)/(\d+)$", name)
    if m and m.group(1) not in ("BM_Pellix", "BM_PellixStripTags", "BM_Libxml2", "BM_Pugixml",
                                "BM_Memchr"):
        families.setdefault(m.group(1), []).append((int(m.group(2)), b["cpu_time"]))
for family, points in sorted(families.items()):
    points.sort()
    # Steps of about twice the input; a step of k times counts as log2(k) doublings.
    steps = ["%.2f" % ((t2 / t1) ** (math.log(2) / math.log(n2 / n1)))
             for (n1, t1), (n2, t2) in zip(points, points[1:]) if n2 / n1 >= 1.9]
    worst = max(float(s) for s in steps)
    row("  " + family[3:], "%.2fx" % worst, " ".join(steps), "", "ok" if worst <= 2.3 else "OVER")

def download(path):
    text = open(path).read()
    wall = dict(re.findall(r"^(curl|rssget)\s+best\s+([\d.]+) s", text, re.M))
    cpu = dict(re.findall(r"^(curl|rssget)\s+best.*?cpu ([\d.]+) s", text, re.M))
    rss = re.search(r"memory / body\s+([\d.]+)", text).group(1)
    return float(wall["rssget"]), float(wall["curl"]), float(cpu["rssget"]), float(cpu["curl"]), rss
row("DOWNLOAD 100 MiB, loopback", "rssget", "curl --http1.0", "ratio", "<= 1.5")
for name, label in (("download-tmpfs.txt", "file on tmpfs"), ("download-disk.txt", "file on disk")):
    path = os.path.join(work, name)
    if not os.path.exists(path):
        continue
    r, c, rc, cc, rss = download(path)
    row("  %s, wall" % label, "%.2f s" % r, "%.2f s" % c, "%.2fx" % (r / c),
        "ok" if r / c <= 1.5 else "OVER")
    row("  %s, CPU" % label, "%.2f s" % rc, "%.2f s" % cc, "%.2fx" % (rc / cc if cc else 0))
    row("  %s, peak RSS / body" % label, rss + "x", "", "", "<= ~3")

times = [float(t) for t in open(os.path.join(work, "once.txt")).read().split() if t != "none"]
row("ORLAVOD --once to 1st datagram", "best", "median", "less %d ms wait" % FIXED_WAIT_MS, "< 100 ms")
if times:
    times.sort()
    first, median = times[0], times[len(times) // 2]
    row("  20-item feed, whole frame", "%.0f ms" % first, "%.0f ms" % median,
        "%.0f ms" % (first - FIXED_WAIT_MS), "ok" if first - FIXED_WAIT_MS < 100 else "OVER")
else:
    row("  20-item feed, whole frame", "no datagram")

widths = [max(len(r[i]) for r in rows) for i in range(5)]
for r in rows:
    print("  ".join(c.ljust(w) for c, w in zip(r, widths)).rstrip())
PY
