#!/usr/bin/env bash
# Builds the fuzz targets (clang, into build-asan/) and runs each for SECONDS on a copy of its
# seed inputs, so fuzz/corpus/ is never written, with the words of its format when there is a
# fuzz/<target>.dict. Fails when any target finds a crash, a leak, undefined behaviour or an
# input that takes over 10 s; the input is kept in build-asan/findings/<target>/ and the
# target's log tail is shown.
#   scripts/fuzz.sh SECONDS [TARGET...]     e.g. scripts/fuzz.sh 600, scripts/fuzz.sh 60 settings
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:?usage: scripts/fuzz.sh SECONDS [TARGET...]}
shift
targets=("$@")
if [[ ${#targets[@]} -eq 0 ]]; then
  targets=()
  for corpus in fuzz/corpus/*/; do
    targets+=("$(basename "$corpus")")
  done
fi

cmake --preset asan >/dev/null
cmake --build --preset fuzz

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -m 700 "$work/runtime"
failed=()
for name in "${targets[@]}"; do
  program="build-asan/${name}_fuzz"
  corpus="$work/corpus-$name"
  findings="build-asan/findings/$name"
  cp -r "fuzz/corpus/$name" "$corpus"
  mkdir -p "$findings" "$work/tmp-$name"
  log="$work/$name.log"
  dict=()
  if [[ -f "fuzz/$name.dict" ]]; then
    dict=(-dict="fuzz/$name.dict")
  fi
  status=0
  TMPDIR="$work/tmp-$name" XDG_RUNTIME_DIR="$work/runtime" QT_QPA_PLATFORM=offscreen \
    "$program" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
    -artifact_prefix="$findings/" "${dict[@]}" "$corpus" >"$log" 2>&1 || status=$?
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
  if [[ $status -ne 0 ]]; then
    echo "fuzz $name: FAILED after ${runs:-?} runs (exit $status); input kept in $findings/"
    grep -E '^(==[0-9]+==ERROR|SUMMARY|.*runtime error)' "$log" | head -n 5 || true
    tail -n 40 "$log"
    failed+=("$name")
  else
    echo "fuzz $name: ${runs:-?} runs in ${seconds} s, nothing found"
  fi
done
if [[ ${#failed[@]} -gt 0 ]]; then
  echo "fuzzing found faults in: ${failed[*]}"
  exit 1
fi
