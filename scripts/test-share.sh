#!/usr/bin/env bash
# Prints the lines of tests (tests/ and fuzz/, without feed data and fuzz
# corpora) against all lines of code, build files and scripts in the
# repository, and the tests' share. With a folder argument: that folder's lines.
set -euo pipefail
cd "$(dirname "$0")/.."
files() {
  git ls-files | grep -E '(\.(cpp|h|hpp|c|sh|py|cmake|in|js|html|css)|CMakeLists\.txt|^\.ci/run)$' |
    grep -vE '^tests/data/|/corpus/'
}
lines() { xargs -r cat | wc -l; }
if [ $# -gt 0 ]; then
  for d in "$@"; do printf '%-24s %6d\n' "$d" "$(files | grep -E "^${d%/}/" | lines)"; done
  exit 0
fi
all=$(files | lines)
tests=$(files | grep -E '^(tests|fuzz)/' | lines)
printf 'tests %d of %d lines: %d.%d%%\n' "$tests" "$all" $((tests * 100 / all)) $((tests * 1000 / all % 10))
