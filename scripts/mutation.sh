#!/usr/bin/env bash
# The test suite's mutation score: applies a fixed, seeded sample of small
# mutations to src/ (flipped comparisons, off-by-one constants, removed
# statements, negated conditions, flipped returns), rebuilds and runs the
# tests for each, and prints the share killed and the survivors. Builds in
# build-mutation (Release, no sanitizers, no GUI); every mutated file is put
# back, also on Ctrl-C. See docs/testing.md.
#
#   ./scripts/mutation.sh                 # the default sample (seed 26, 200 mutants)
#   ./scripts/mutation.sh --list          # list the mutants, run nothing
#   ./scripts/mutation.sh --compare OLD.tsv NEW.tsv
set -euo pipefail
cd "$(dirname "$0")/.."
exec python3 scripts/mutation.py "$@"
