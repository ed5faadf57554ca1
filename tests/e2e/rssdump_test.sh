#!/usr/bin/env bash
# rssdump_test.sh RSSDUMP FEED_DIR: each feed file, read with and without
# --strip-tags and once from stdin, prints its expected JSON; an unreadable
# file, a directory or a bad argument exits 2 with a message.
set -euo pipefail
rssdump=$1 feeds=$2
source "$(dirname "$0")/../support/scratch.sh"
for feed in news_rss2.xml digest_rss1.rdf zeitung_cp1252.xml adversarial.xml news_atom.xml; do
  for strip in "" --strip-tags; do
    want="$feeds/${feed%.*}${strip:+.strip}.json"
    "$rssdump" $strip "$feeds/$feed" > "$dir/out.json" || fail "$feed $strip: exit $?"
    diff -u "$want" "$dir/out.json" >&2 || fail "$feed $strip: other JSON than ${want##*/}"
  done
done
"$rssdump" - < "$feeds/digest_rss1.rdf" | diff -u "$feeds/digest_rss1.json" - >&2 || fail "stdin: other JSON"
for bad in "$feeds/no_such_feed.xml" --frobnicate "$feeds"; do
  rc=0
  "$rssdump" "$bad" > /dev/null 2> "$dir/err.log" || rc=$?
  [ "$rc" = 2 ] && [ -s "$dir/err.log" ] || fail "$bad: exit $rc, or no message"
done
echo "rssdump: 14 passed, 0 failed"
