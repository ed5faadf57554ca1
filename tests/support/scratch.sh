# Sourced by the shell tests: a scratch folder ($dir) removed at exit, the
# background processes in $pids ended at exit, and the helpers they share.
dir=$(mktemp -d)
pids=()
# A service started by a test listens on a control socket of the test's own.
export XDG_RUNTIME_DIR=$dir/run
mkdir -m 700 "$XDG_RUNTIME_DIR"
# Every process started with "${with_parent[@]}" ends with the test, even when
# the test is killed.
with_parent=(setpriv --pdeathsig KILL)
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  rm -rf "$dir"
}
trap cleanup EXIT
# fail MESSAGE: says why, shows every log in the scratch folder, exits 1.
fail() {
  echo "FAIL: $*" >&2
  for f in "$dir"/*.log; do [ -e "$f" ] && { echo "--- $f" >&2; cat "$f" >&2; }; done
  exit 1
}
# wait_for COMMAND: polls (at most about ten seconds) until it succeeds.
wait_for() {
  for _ in $(seq 100); do
    if eval "$1"; then return 0; fi
    sleep 0.1
  done
  return 1
}
free_port() {
  python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'
}
# serve_www PORT: python's http.server on 127.0.0.1:PORT for $dir/www, ready.
serve_www() {
  "${with_parent[@]}" python3 -m http.server "$1" --bind 127.0.0.1 --directory "$dir/www" > /dev/null 2>&1 &
  pids+=($!)
  wait_for "python3 -c \"import socket; socket.create_connection(('127.0.0.1', $1), 0.2)\" 2>/dev/null" \
    || fail "web server did not start"
}
# feed_and_sign TITLE [SIGNSIM_ARGS...]: a one-headline feed at
# 127.0.0.1:$http_port/feed.xml and a signsim on 127.0.0.2:$sign_port writing
# what the sign shows to $dir/sign.out.
feed_and_sign() {
  mkdir -p "$dir/www"
  printf '<rss><channel><item><title>%s</title></item></channel></rss>' "$1" > "$dir/www/feed.xml"
  shift
  http_port=$(free_port)
  serve_www "$http_port"
  sign_port=$(free_port)
  "${with_parent[@]}" "$signsim" --bind 127.0.0.2 --port "$sign_port" "$@" > "$dir/sign.out" 2> "$dir/signsim.log" &
  pids+=($!)
}
