#!/usr/bin/env bash
# Runs every ```sh block of the given docs as written, in one shell, in a
# scratch copy of the source tree's data/ with the built tools where a build
# puts them (build/tools/...), nothing else on PATH for them; then checks that
# the sign emulators printed the feed's headlines.
set -euo pipefail
source_dir=$1 orlavod=$2 signsim=$3
shift 3
source "$(dirname "$0")/../support/scratch.sh"
cp -r "$source_dir/data" "$dir/data"
mkdir -p "$dir/build/tools/orlavod" "$dir/build/tools/signsim" "$dir/tmp"
ln -s "$orlavod" "$dir/build/tools/orlavod/orlavod"
ln -s "$signsim" "$dir/build/tools/signsim/signsim"
script="$dir/recipes.sh"
printf 'set -euo pipefail\ntrap '"'"'kill $(jobs -p) 2>/dev/null; wait'"'"' EXIT\n' > "$script"
for doc in "$@"; do
  awk '/^```sh$/ {on=1; next} /^```$/ {on=0} on' "$source_dir/$doc" >> "$script"
done
grep -q 'orlavod' "$script" || fail "no recipe found"
cd "$dir"
TMPDIR="$dir/tmp" timeout 60 bash "$script" > recipes.out.log 2> recipes.err.log || fail "a recipe failed"
# The recipes write nowhere in the tree they run from.
[ "$(ls "$dir")" = "$(printf 'build\ndata\nrecipes.err.log\nrecipes.out.log\nrecipes.sh\ntmp')" ] \
  || fail "the recipes wrote into the source tree: $(ls "$dir")"
# One MESSAGE line per --once run, from the UDP and the serial emulator.
count=$(grep -c '^MESSAGE green:Orlavo shows feed headlines' recipes.out.log || true)
[ "$count" = 2 ] || fail "$count sign lines"
echo "docs recipes: 1 passed, 0 failed"
