#!/usr/bin/env bash
# orlavod init and compose, driven as a user would from the shell.
set -euo pipefail
orlavod=$1
source "$(dirname "$0")/../support/scratch.sh"
# run ARGS...: orlavod for at most 10 s, its stderr in $err and its exit status in $rc.
run() { rc=0; err=$(timeout 10 "$orlavod" "$@" 2>&1 >/dev/null) || rc=$?; }

# init creates a first-start file, with the parent directory, and says so in
# one line on stderr; stdout stays empty.
out=$("$orlavod" init --settings "$dir/sub/data.ini" 2>/dev/null)
[ -z "$out" ] || fail "init printed on stdout: $out"
err=$("$orlavod" init --settings "$dir/sub/new.ini" 2>&1)
[ "$err" = "orlavod: $dir/sub/new.ini created with every key of a first start" ] || fail "init said: $err"
grep -q $'^ACCESSPOINTIP25=\r$' "$dir/sub/data.ini" || fail "init file lacks the feed slots"
grep -q $'^COLORSCHEMEINDEX=0\r$' "$dir/sub/data.ini" || fail "init file lacks the close keys"

# init leaves a value too long to read back as it is on disk (a cut copy would
# be another address) and names the feed slot it cannot use.
long="http://127.0.0.1/$(head -c 1200 /dev/zero | tr '\0' 'a')"
printf '[Parameters]\r\nTURL=%s\r\n[AccessPoint]\r\nACCESSPOINTIP3=%s\r\n' "$long" "$long" > "$dir/long.ini"
err=$("$orlavod" init --settings "$dir/long.ini" 2>&1 >/dev/null)
for key in TURL ACCESSPOINTIP3; do
  grep -qxF "$key=$long"$'\r' "$dir/long.ini" || fail "init cut $key"
done
case "$err" in *"not used"*"AccessPointIP3."*) ;; *) fail "init on a long slot said: $err" ;; esac

# compose: the worked example in clock packets, the settings file untouched.
printf '[CommMethod]\r\nRGBDISPLAY=1\r\nEMBEDDED=1\r\n[Parameters]\r\nSPEED=3\r\n[Communications]\r\nTYPEFONTINDEX1=0\r\n' > "$dir/c.ini"
printf '<rss><channel><item><title>Hello</title><description>World</description></item></channel></rss>\n' > "$dir/f.xml"
before=$(md5sum < "$dir/c.ini")
got=$("$orlavod" compose --settings "$dir/c.ini" "$dir/f.xml")
want='*~00~00~00~00~00~00~01FF00~02A0C30#
*~00ff00002359FFF~FE1~FDCHello - W#
*~00orld| ~03FFFF~04\x04\x04\x04\x04\x04\x04\x04\x04\x04\x04\x04\x04\x04\x04#'
[ "$got" = "$want" ] || fail "compose printed: $got"
[ "$(md5sum < "$dir/c.ini")" = "$before" ] || fail "compose changed the settings file"

# Whole frame, non-ASCII text as windows-1252, backslash escaped.
printf '[CommMethod]\r\nEMBEDDED=0\r\n' > "$dir/w.ini"
printf '<rss><channel><item><title>Caf\xc3\xa9 a\\b</title></item></channel></rss>' > "$dir/u.xml"
got=$("$orlavod" compose --settings "$dir/w.ini" "$dir/u.xml")
[ "$got" = '~00~00~00~00~00~01FF00~02A0C10ff00002359FFFF~FE3~FDCCaf\xe9 a\\b | ~03FFFF~04' ] || fail "whole: $got"

# A speed that is no number is reset with a warning.
printf '[Parameters]\r\nSPEED=abc\r\n' > "$dir/s.ini"
"$orlavod" compose --settings "$dir/s.ini" "$dir/f.xml" 2>&1 >/dev/null | grep -q 'reset to their defaults: Speed\.' ||
  fail "no reset warning for SPEED=abc"

# A settings file that exists but cannot be read stops every command before
# anything is sent or written (never a run on defaults), and a FIFO never hangs.
mkdir "$dir/bad"
mkdir "$dir/bad/dir.ini"
head -c 10000000 /dev/zero | tr '\0' 'x' > "$dir/bad/huge.ini"
mkfifo "$dir/bad/fifo.ini"
for case in "dir.ini:is a directory" "huge.ini:is larger than 4 MiB" "fifo.ini:is a FIFO"; do
  file=${case%%:*} reason=${case#*:}
  for cmd in "init" "compose" "--once"; do
    args=("$cmd" --settings "$dir/bad/$file")
    [ "$cmd" = compose ] && args+=("$dir/f.xml")
    before=$(ls -la "$dir/bad" | md5sum)
    run "${args[@]}"
    [ "$rc" = 2 ] || fail "$cmd on $file: exit $rc ($err)"
    case "$err" in *"$dir/bad/$file $reason"*) ;; *) fail "$cmd on $file said: $err" ;; esac
    [ "$(ls -la "$dir/bad" | md5sum)" = "$before" ] || fail "$cmd on $file wrote beside it"
  done
done

# A settings file named on the command line that does not exist is a typo,
# not a first start: nothing runs on defaults, nothing is created.
for cmd in compose discover --once service; do
  args=(--settings "$dir/typo.ini")
  case $cmd in compose) args=(compose "${args[@]}" "$dir/f.xml") ;; discover) args=(discover "${args[@]}") ;;
    --once) args+=(--once) ;; esac
  run "${args[@]}"
  [ "$rc" = 2 ] || fail "$cmd on a missing file: exit $rc ($err)"
  case "$err" in *"create it with \`orlavod init --settings $dir/typo.ini\`"*) ;; *) fail "$cmd said: $err" ;; esac
  [ ! -e "$dir/typo.ini" ] || fail "$cmd created the missing file"
done

# Bad arguments exit 2 with a message that names them.
for args in "compose --settings $dir/c.ini:FEEDFILE" "--bogus:--bogus" "frobnicate:frobnicate"; do
  run ${args%%:*}
  [ "$rc" = 2 ] || fail "${args%%:*}: exit $rc"
  case "$(head -1 <<<"$err")" in *"${args#*:}"*) ;; *) fail "${args%%:*} said: $err" ;; esac
done
echo "orlavod cli: 1 passed, 0 failed"
