#!/usr/bin/env bash
# What the remote controls cost: the service driving N loopback signs (default
# 20), started with --update-now, plainly, with --web, with --mqtt (a mosquitto
# broker this script starts on 127.0.0.1) and with both. With --web a browser's
# event stream stays open the whole time, with --mqtt a subscriber to every
# topic. Per run: CPU time and peak resident memory of the start and first
# update (until every sign got its frame), then CPU time and resident memory
# over IDLE seconds of idling (default 30).
#   bench/remote_cost.sh BUILD_DIR [N] [IDLE]
set -euo pipefail
build=$1
orlavod="$build/tools/orlavod/orlavod"
[ -x "$orlavod" ] || { echo "no orlavod in $build" >&2; exit 2; }
command -v mosquitto >/dev/null || [ -x /usr/sbin/mosquitto ] || { echo "mosquitto is not installed" >&2; exit 2; }
exec python3 - "$orlavod" "${2:-20}" "${3:-30}" <<'PY'
import http.server, os, shutil, socket, subprocess, sys, tempfile, threading, time, urllib.request

orlavod, n, idle = sys.argv[1], int(sys.argv[2]), float(sys.argv[3])
FEED = ('<?xml version="1.0"?><rss version="2.0"><channel><title>Bench</title>'
        + "".join(f"<item><title>Headline number {k} of the bench feed</title></item>" for k in range(5))
        + "</channel></rss>").encode()

class Feed(http.server.BaseHTTPRequestHandler):
    def do_GET(self):
        self.send_response(200)
        self.send_header("Content-Type", "application/rss+xml")
        self.send_header("Content-Length", str(len(FEED)))
        self.end_headers()
        try:
            self.wfile.write(FEED)
        except OSError:
            pass  # the service gave up on this download: its log says why
    def log_message(self, *args):
        pass
http.server.ThreadingHTTPServer.request_queue_size = 1024  # every sign asks at once
feeds = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Feed)
threading.Thread(target=feeds.serve_forever, daemon=True).start()

rx = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
rx.setsockopt(socket.SOL_SOCKET, socket.SO_RCVBUF, 16 << 20)
rx.bind(("127.0.0.1", 0))
got = []
def receive():
    while True:
        data, (host, _) = rx.recvfrom(4096)
        got.append(data)
threading.Thread(target=receive, daemon=True).start()

def free_port():
    s = socket.socket()
    s.bind(("127.0.0.1", 0))
    port = s.getsockname()[1]
    s.close()
    return port

def proc(pid):
    fields = open(f"/proc/{pid}/stat").read().rsplit(")", 1)[1].split()
    cpu = (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")
    status = dict(l.split(":", 1) for l in open(f"/proc/{pid}/status").read().splitlines() if ":" in l)
    return cpu, int(status["VmRSS"].split()[0]) / 1024, int(status["VmHWM"].split()[0]) / 1024

work = tempfile.mkdtemp()
try:
    tmpl = os.path.join(work, "t.ini")
    subprocess.run([orlavod, "init", "--settings", tmpl], check=True, capture_output=True)
    template = open(tmpl, newline="").read().split("\r\n")
    signs = os.path.join(work, "signs")
    os.mkdir(signs)
    for i in range(n):
        values = {"REMOTEIP": "127.0.0.1", "ETHERNET": "1", "SERIAL": "0", "EMBEDDED": "0",
                  "ACCESSPOINTIP0": f"http://127.0.0.1:{feeds.server_port}/{i}.xml", "ACCESSPOINTIP1": ""}
        lines = [l.split("=", 1)[0] + "=" + values[l.split("=", 1)[0]] if l.split("=", 1)[0] in values else l
                 for l in template]
        lines.insert(lines.index("[CommMethod]") + 1, f"REMOTEPORT={rx.getsockname()[1]}")
        lines.append(f"[Sign]\r\nName=s{i:03d}")
        open(os.path.join(signs, f"s{i:03d}.ini"), "w", newline="").write("\r\n".join(lines))

    broker_port = free_port()
    conf = os.path.join(work, "mosquitto.conf")
    open(conf, "w").write(f"listener {broker_port} 127.0.0.1\nallow_anonymous true\npersistence false\n")
    mosquitto = shutil.which("mosquitto") or "/usr/sbin/mosquitto"
    broker = subprocess.Popen([mosquitto, "-c", conf], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    time.sleep(0.5)

    print(f"{n} signs, whole frames; idle over {idle:.0f} s")
    print(f"{'run':>10} {'update CPU s':>13} {'update peak MiB':>16} {'idle CPU s':>11} {'idle RSS MiB':>13}")
    for name, extra in [("plain", []), ("web", ["web"]), ("mqtt", ["mqtt"]), ("web+mqtt", ["web", "mqtt"])]:
        args = [orlavod, "--signs", signs, "--update-now"]
        env = dict(os.environ, XDG_RUNTIME_DIR=work, XDG_CONFIG_HOME=work)
        web_port = free_port()
        if "web" in extra:
            args += ["--web", f"127.0.0.1:{web_port}"]
        if "mqtt" in extra:
            args += ["--mqtt", f"127.0.0.1:{broker_port}"]
        got.clear()
        child = subprocess.Popen(args, env=env, stdout=subprocess.DEVNULL, stderr=open(os.path.join(work, name + ".err"), "w"))
        watchers = []
        if "mqtt" in extra:
            watchers.append(subprocess.Popen(["mosquitto_sub", "-p", str(broker_port), "-h", "127.0.0.1", "-t", "#"],
                                             stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL))
        if "web" in extra:
            def stream():
                for _ in range(100):
                    try:
                        with urllib.request.urlopen(f"http://127.0.0.1:{web_port}/api/v1/events", timeout=idle + 30) as r:
                            while r.read(4096):
                                pass
                        return
                    except OSError:
                        time.sleep(0.05)
            threading.Thread(target=stream, daemon=True).start()
        deadline = time.monotonic() + 30
        while len(got) < n and time.monotonic() < deadline:
            time.sleep(0.05)
        if child.poll() is not None:
            print(f"{name:>10} did not run: " + open(os.path.join(work, name + ".err")).read().strip()[-300:])
            continue
        if len(got) < n:
            print(f"{name}: only {len(got)} of {n} frames arrived", file=sys.stderr)
        cpu1, _, peak = proc(child.pid)
        time.sleep(idle)
        cpu2, rss, _ = proc(child.pid)
        print(f"{name:>10} {cpu1:>13.2f} {peak:>16.1f} {cpu2 - cpu1:>11.2f} {rss:>13.1f}", flush=True)
        child.terminate()
        child.wait()
        for w in watchers:
            w.terminate()
            w.wait()
    broker.terminate()
    broker.wait()
finally:
    shutil.rmtree(work)
PY
