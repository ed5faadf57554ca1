#!/usr/bin/env bash
# install_tree_test.sh BUILD_DIR SOURCE_DIR with-man|no-man: installs the build into a fresh
# prefix (with a space in its path) and runs the installed programs from
# there as a user would: no LD_LIBRARY_PATH, the build tree out of reach of
# their library search.
set -euo pipefail
build=$1 source=$2 man=$3
source "$(dirname "$0")/../support/scratch.sh"
unset LD_LIBRARY_PATH
prefix="$dir/my prefix"
cmake --install "$build" --prefix "$prefix" > "$dir/install.log" || fail "cmake --install failed"
bin="$prefix/bin"
export QT_QPA_PLATFORM=offscreen

# Every installed program starts and says its version.
count=0
for program in "$bin"/*; do
  name=${program##*/}
  out=$("$program" --version 2> "$dir/version.log") || fail "$name --version exited $?"
  [[ $out == "$name 1."* ]] || fail "$name --version printed: $out"
  count=$((count + 1))
done
[ "$count" -ge 4 ] || fail "only $count programs installed"

# rssdump parses a feed file.
"$bin/rssdump" "$source/tests/data/feeds/news_rss2.xml" > "$dir/dump.json" || fail "rssdump exited $?"
cmp -s "$dir/dump.json" "$source/tests/data/feeds/news_rss2.json" || fail "rssdump printed other JSON"

# One update: a feed on 127.0.0.1, the installed signsim on 127.0.0.2.
mkdir "$dir/www"
printf '<rss><channel><item><title>Installed headline</title></item></channel></rss>' > "$dir/www/feed.xml"
http_port=$(free_port) sign_port=$(free_port)
serve_www "$http_port"
"${with_parent[@]}" "$bin/signsim" --bind 127.0.0.2 --port "$sign_port" --discovery-port "$sign_port" \
  > "$dir/sign.out" 2> "$dir/signsim.log" &
pids+=($!)
wait_for "grep -q 'listening for frames' '$dir/signsim.log'" || fail "signsim did not start"
printf '[CommMethod]\r\nREMOTEIP=127.0.0.2\r\nREMOTEPORT=%s\r\nEMBEDDED=0\r\nETHERNET=1\r\nSERIAL=0\r\n[AccessPoint]\r\nACCESSPOINTIP0=http://127.0.0.1:%s/feed.xml\r\n' \
  "$sign_port" "$http_port" > "$dir/data.ini"
"$bin/orlavod" --settings "$dir/data.ini" --once > "$dir/once.log" 2>&1 || fail "orlavod --once exited $?"
wait_for "grep -q '^MESSAGE .*Installed headline' '$dir/sign.out'" || fail "the sign showed nothing"

# The user unit starts the installed orlavod; the completion offers its options.
grep -qF "ExecStart=$bin/orlavod " "$prefix/share/systemd/user/orlavod.service" || fail "unit ExecStart"
grep -qF "ExecStart=$bin/orlavod --signs " "$prefix/share/systemd/user/orlavod-signs.service" || fail "signs unit ExecStart"
got=$(PATH="$bin:$PATH" bash -c 'source "$1"; COMP_WORDS=(orlavod --update); COMP_CWORD=1
  _orlavo_tools orlavod --update orlavod; echo "${COMPREPLY[*]}"' _ "$prefix/share/bash-completion/completions/orlavod")
[ "$got" = "--update-now" ] || fail "completion of 'orlavod --update' gave: $got"
if [ "$man" = with-man ]; then
  MANPATH="$prefix/share/man" man -w orlavod > /dev/null 2>&1 || fail "man orlavod finds no page"
fi
echo "install tree: $count programs ran from $prefix"
