#!/usr/bin/env bash
# Checks that every #include between the library's source folders points
# down the order of layers written in README.md: a folder includes its own
# headers and those of the folders before it, never those after it.
set -euo pipefail
cd "$(dirname "$0")/.."

LAYERS=(host base element onfly tess frustrum lib)

rank() {
  local i
  for i in "${!LAYERS[@]}"; do
    if [ "${LAYERS[$i]}" = "$1" ]; then echo "$i"; return; fi
  done
  echo -1
}

bad=0
for dir in "${LAYERS[@]}"; do
  [ -d "src/$dir" ] || continue
  own=$(rank "$dir")
  while IFS=: read -r file line target; do
    used=$(rank "${target%%/*}")
    if [ "$used" -gt "$own" ]; then
      echo "$file:$line: $dir includes $target, a layer above it" >&2
      bad=1
    fi
  done < <(grep -rnoE '^#[[:space:]]*include[[:space:]]+"[a-z]+/[^"]+"' "src/$dir" |
             sed -E 's/^([^:]+):([0-9]+):.*"([^"]+)"$/\1:\2:\3/')
done
# Every folder of src/ has its place in the order.
for path in src/*/; do
  dir=$(basename "$path")
  if [ "$(rank "$dir")" -lt 0 ]; then
    echo "src/$dir has no place in the order of layers (scripts/check-layers.sh)" >&2
    bad=1
  fi
done
if [ "$bad" -ne 0 ]; then exit 1; fi
echo "layers: ${LAYERS[*]} (includes point down)"
