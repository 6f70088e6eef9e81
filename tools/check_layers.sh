#!/usr/bin/env bash
# Fails when a folder of src/ includes a header of a layer above it. The layers, lowest first
# (docs/architecture.md says what each holds):
#   support platform terrain script render world_render gui gameobj_host app
# A file may include its own layer and any layer below. A folder of src/ that is not in the list
# fails too: a new subsystem takes its place in the order before it lands.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
order=(support platform terrain script render world_render gui gameobj_host app)

declare -A rank
for i in "${!order[@]}"; do
  rank[${order[$i]}]=$i
done

status=0
for dir in "$root"/src/*/; do
  name=$(basename "$dir")
  if [ -z "${rank[$name]+set}" ]; then
    echo "src/$name: not a known layer; add it to the order in tools/check_layers.sh and docs/architecture.md"
    status=1
  fi
done

# Every '#include "layer/..."' line of every source file under a layer folder.
while IFS=: read -r file line text; do
  from=${file#"$root"/src/}
  from=${from%%/*}
  to=$(sed -E 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*"([^/"]+)\/.*/\1/' <<<"$text")
  [ -n "${rank[$from]+set}" ] && [ -n "${rank[$to]+set}" ] || continue
  if [ "${rank[$to]}" -gt "${rank[$from]}" ]; then
    echo "${file#"$root"/}:$line: $from includes $to, a higher layer"
    status=1
  fi
done < <(grep -rnE '^[[:space:]]*#[[:space:]]*include[[:space:]]*"[^/"]+/' "$root/src" \
           --include='*.h' --include='*.hpp' --include='*.cpp' --include='*.cc' --include='*.inl' || true)

if [ "$status" -ne 0 ]; then
  echo "layer check failed (order, lowest first: ${order[*]})"
  exit 1
fi
echo "layer check: every include of src/ points down"
