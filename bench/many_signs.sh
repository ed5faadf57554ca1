#!/usr/bin/env bash
# One `orlavod --once --signs DIR` driving N signs, half of them clock signs,
# each with its own feed. Everything stays on loopback: the feeds come from a
# python HTTP server on 127.0.0.1, the signs are the addresses 127.0.x.y and
# one UDP socket of this script's counts what each address got.
#   bench/many_signs.sh BUILD_DIR [N...]      (N: default 10 100 1000)
# Per N: whether every sign got its whole frame, the time from the round's
# start to the last whole frame and to the last clock packet (less the
# packets' own pacing), peak resident memory and the CPU time of the run.
set -euo pipefail
build=$1
shift
orlavod="$build/tools/orlavod/orlavod"
[ -x "$orlavod" ] || { echo "no orlavod in $build" >&2; exit 2; }
exec python3 - "$orlavod" "${@:-10 100 1000}" <<'PY'
import asyncio, os, resource, shutil, socket, struct, subprocess, sys, tempfile, threading, time

orlavod = sys.argv[1]
counts = [int(n) for arg in sys.argv[2:] for n in arg.split()]
WAIT_BEFORE_DOWNLOAD = 1.0  # orlavod's pause at the start of every update
PACKET_PAUSE = 1.0          # between full clock packets
FEED_ITEMS = 3

def feed(i):
    items = "".join(f"<item><title>Sign {i:05d} headline {k}</title><description>News item {k}</description></item>"
                    for k in range(FEED_ITEMS))
    return f'<?xml version="1.0"?><rss version="2.0"><channel><title>Feed {i}</title>{items}</channel></rss>'.encode()

def address(i):
    return f"127.0.{1 + i // 250}.{2 + i % 250}"

# The feeds from one asyncio server: a thread per request would make the
# server, not orlavod, what a thousand signs wait for.
class Feeds:
    first_get = None
    cpu_at_first_get = None
    pid = None

def cpu_seconds(pid):
    fields = open(f"/proc/{pid}/stat").read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")

async def serve_feed(reader, writer):
    try:
        request = await reader.readuntil(b"\r\n\r\n")
        if Feeds.first_get is None:
            Feeds.first_get = time.monotonic()
            Feeds.cpu_at_first_get = cpu_seconds(Feeds.pid) if Feeds.pid else None
        path = request.split(b" ", 2)[1].decode()
        body = feed(int(path.strip("/").split(".")[0]))
        writer.write(b"HTTP/1.0 200 OK\r\nContent-Type: application/rss+xml\r\nContent-Length: %d\r\n\r\n"
                     % len(body) + body)
        await writer.drain()
    finally:
        writer.close()

feed_loop = asyncio.new_event_loop()
feed_server = feed_loop.run_until_complete(
    asyncio.start_server(serve_feed, "127.0.0.1", 0, backlog=4096))
feed_port = feed_server.sockets[0].getsockname()[1]
threading.Thread(target=feed_loop.run_forever, daemon=True).start()

# One receiver for every sign address: IP_PKTINFO tells which one a datagram
# was sent to. Only loopback destinations count.
IP_PKTINFO = 8
rx = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
rx.setsockopt(socket.SOL_SOCKET, socket.SO_RCVBUF, 16 << 20)
rx.setsockopt(socket.IPPROTO_IP, IP_PKTINFO, 1)
rx.bind(("0.0.0.0", 0))
sign_port = rx.getsockname()[1]
received = []  # (destination, bytes, time)
def receive():
    while True:
        data, anc, _, _ = rx.recvmsg(2048, 256)
        now = time.monotonic()
        for level, kind, value in anc:
            if level == socket.IPPROTO_IP and kind == IP_PKTINFO:
                dest = socket.inet_ntoa(value[8:12])
                if dest.startswith("127."):
                    received.append((dest, len(data), now))
threading.Thread(target=receive, daemon=True).start()

# Every key a first start writes, as `orlavod init` leaves them: a file that
# lacks keys is written back at every start, and that would be timed too.
template_dir = tempfile.mkdtemp()
subprocess.run([orlavod, "init", "--settings", os.path.join(template_dir, "t.ini")], check=True, capture_output=True)
template = open(os.path.join(template_dir, "t.ini"), newline="").read().split("\r\n")
shutil.rmtree(template_dir)

def settings(i):
    values = {"REMOTEIP": address(i), "ETHERNET": "1", "SERIAL": "0",
              "EMBEDDED": str(i % 2), "ACCESSPOINTIP0": f"http://127.0.0.1:{feed_port}/{i}.xml",
              "ACCESSPOINTIP1": ""}  # no default feed: only this bench's server is asked
    lines = [line.split("=", 1)[0] + "=" + values[line.split("=", 1)[0]] if line.split("=", 1)[0] in values else line
             for line in template]
    # REMOTEPORT is no key of a first start: absent means 16000.
    lines.insert(lines.index("[CommMethod]") + 1, f"REMOTEPORT={sign_port}")
    return "\r\n".join(lines)

def composed(work, i):
    """Lengths of the units one sign's update sends, as orlavod compose says."""
    ini, xml = os.path.join(work, "compose.ini"), os.path.join(work, "compose.xml")
    open(ini, "w", newline="").write(settings(i))
    open(xml, "wb").write(feed(i))
    out = subprocess.run([orlavod, "compose", "--settings", ini, xml], check=True, capture_output=True).stdout
    # Each \xHH and \\ of a line is one byte on the wire.
    return [len(line.encode().decode("unicode_escape").encode("latin-1")) for line in out.decode().splitlines()]

print(f"{'signs':>6} {'complete':>9} {'exit':>4} {'load s':>7} {'whole frames s':>15} {'clock frames s':>15}"
      f" {'peak RSS MiB':>13} {'CPU s':>6} {'round CPU s':>11}")
for n in counts:
    work = tempfile.mkdtemp()
    try:
        signs = os.path.join(work, "signs")
        os.mkdir(signs)
        for i in range(n):
            open(os.path.join(signs, f"s{i:05d}.ini"), "w", newline="").write(settings(i))
        units = [composed(work, 0), composed(work, 1)]  # whole frame, clock packets
        received.clear()
        Feeds.first_get = Feeds.cpu_at_first_get = None
        start = time.monotonic()
        child = subprocess.Popen([orlavod, "--once", "--signs", signs], stdout=subprocess.DEVNULL,
                                 stderr=open(os.path.join(work, "err"), "w"))
        Feeds.pid = child.pid
        _, status, usage = os.wait4(child.pid, 0)
        Feeds.pid = None
        cpu = usage.ru_utime + usage.ru_stime
        round_cpu = cpu - Feeds.cpu_at_first_get if Feeds.cpu_at_first_get is not None else float("nan")
        time.sleep(0.5)  # the last datagrams reach the receiver
        exit_code = os.waitstatus_to_exitcode(status)
        got = {}
        for dest, length, when in list(received):
            got.setdefault(dest, []).append((length, when))
        complete = sum(1 for i in range(n) if [l for l, _ in got.get(address(i), [])] == units[i % 2])
        round_start = (Feeds.first_get or start) - WAIT_BEFORE_DOWNLOAD
        def last(kind):
            times = [got[address(i)][-1][1] for i in range(kind, n, 2) if address(i) in got]
            return max(times) - round_start if times else float("nan")
        clock_pacing = (len(units[1]) - 1) * PACKET_PAUSE  # first to last packet
        print(f"{n:>6} {complete:>5}/{n:<3} {exit_code:>4} {round_start - start:>7.2f} {last(0):>15.2f}"
              f" {last(1) - clock_pacing:>15.2f} {usage.ru_maxrss / 1024:>13.1f} {cpu:>6.2f} {round_cpu:>11.2f}",
              flush=True)
        if exit_code != 0:
            sys.stderr.write(open(os.path.join(work, "err")).read()[-2000:])
    finally:
        shutil.rmtree(work)
print(f"whole frames: the last whole frame after the round's start (goal <= 2 s);"
      f" clock frames: the last clock packet after the round's start less the packets' own"
      f" {len(units[1])}-packet pacing (goal <= 2 s); load: start of orlavod to the round's start;"
      f" the round starts {WAIT_BEFORE_DOWNLOAD:.0f} s before the first download; CPU: the whole run;"
      f" round CPU: from the first download to the end, the close included (goal < 1 s)")
PY
