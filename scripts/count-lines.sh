#!/usr/bin/env bash
# Counts non-blank lines of the tests (tests/, fuzz/) against those of the
# code (src/, include/, kernel/, tools/, bench/, examples/, scripts/), as
# tracked by git, and prints the ratio. Seed corpora and test data are not
# source lines and are left out.
set -euo pipefail
cd "$(dirname "$0")/.."

count() {
  git ls-files -z -- "$@" |
    xargs -0 -r grep -I -c -v '^[[:space:]]*$' 2>/dev/null |
    awk -F: '{n += $NF} END {print n + 0}'
}

tests=$(count tests fuzz ':!fuzz/corpus' ':!tests/data')
code=$(count src include kernel tools bench examples scripts)
awk -v t="$tests" -v c="$code" 'BEGIN {
  printf "tests %d, code %d non-blank lines: tests are %.1f%% of the code (1/%.2f)\n", t, c, 100 * t / c, c / t
}'
