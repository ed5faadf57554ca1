#!/usr/bin/env bash
# man_pages_test.sh MAN_DIR PROGRAM=PAGE...: the options a program's --help
# names and the options its page (scdoc source) names are the same set.
set -euo pipefail
man_dir=$1
shift
export QT_QPA_PLATFORM=offscreen
failed=0
for pair in "$@"; do
  program=${pair%%=*} page=$man_dir/${pair#*=}.scd
  help_opts=$("$program" --help 2>/dev/null | grep -oE '(^|[][ ,|(])--?[A-Za-z][A-Za-z0-9-]*' |
    sed 's/^[][ ,|(]*//' | sort -u)
  page_opts=$(grep -oE '\*--?[A-Za-z][A-Za-z0-9-]*\*' "$page" | tr -d '*' | sort -u)
  if [ -z "$help_opts" ] || [ "$help_opts" != "$page_opts" ]; then
    echo "FAIL: ${pair#*=}: only in --help: $(comm -23 <(echo "$help_opts") <(echo "$page_opts") | tr '\n' ' ')" \
      "only in the page: $(comm -13 <(echo "$help_opts") <(echo "$page_opts") | tr '\n' ' ')" >&2
    failed=$((failed + 1))
  fi
done
echo "man pages: $(($# - failed)) passed, $failed failed"
[ "$failed" = 0 ]
