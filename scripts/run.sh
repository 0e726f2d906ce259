#!/usr/bin/env bash
# Installs what is missing, builds Oculet into build/ and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake --preset default -DOCULET_TESTS=OFF -DOCULET_BENCH=OFF >/dev/null
cmake --build build --target oculet
exec build/oculet "$@"
