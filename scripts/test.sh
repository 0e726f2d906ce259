#!/usr/bin/env bash
# Installs what is missing, builds Oculet and its tests into build/ and runs every test.
# In CI (CI=true) warnings are errors, and the unit tests run once more under the address and
# undefined-behaviour sanitizers. Every reader of outside input is then fuzzed for a few seconds
# (OCULET_FUZZ_SECONDS, 5 unless set; 0 skips it); scripts/fuzz.sh runs longer on demand.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh --tests
scripts/check-layers.sh

preset=default
if [[ "${CI:-}" == "true" ]]; then
  preset=ci
fi
cmake --preset "$preset" -DOCULET_TESTS=ON >/dev/null
cmake --build build
(cd build && ctest --output-on-failure -j2)

# One clang build serves both the sanitized unit tests and the fuzz targets.
if [[ "${CI:-}" == "true" || "${OCULET_SANITIZE:-}" == "1" ]]; then
  cmake --preset asan >/dev/null
  cmake --build --preset asan
  (cd build-asan && ASAN_OPTIONS=detect_leaks=0 ctest --output-on-failure -j2 -L unit)
fi

fuzz_seconds=${OCULET_FUZZ_SECONDS:-5}
if [[ $fuzz_seconds -gt 0 ]]; then
  scripts/fuzz.sh "$fuzz_seconds"
fi
