#!/usr/bin/env bash
# Fails when a folder includes a folder above it: dependencies run one way, downwards.
set -euo pipefail
cd "$(dirname "$0")/.."
layers=(app ui web publish compose source settings platform) # top to bottom
rank() { local i; for i in "${!layers[@]}"; do [[ ${layers[$i]} == "$1" ]] && echo "$i" && return; done; echo -1; }
status=0
for from in "${layers[@]}"; do
  while IFS=: read -r file _ include; do
    to=${include#*\"}; to=${to%%/*}
    [[ $(rank "$to") -ge 0 && $(rank "$to") -lt $(rank "$from") ]] || continue
    echo "upward include: $file includes $to/ ($include)"
    status=1
  done < <(grep -rn '^#include "' "$from" --include='*.h' --include='*.cpp' || true)
done
exit $status
