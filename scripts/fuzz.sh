#!/usr/bin/env bash
# Builds the libFuzzer targets (the fuzz preset: clang, ASan + UBSan) and runs each one for
# SECONDS (default 60; --short: 10) over a copy of its seed corpus in tests/fuzz/corpus, so that
# the committed corpus never grows. Ends with a table of executions, wall time and crashes per
# target. Non-zero exit when any target crashed, leaked, hung or could not run; what it found is
# kept in build/fuzz/artifacts/<target>/ (rerun a file with build/fuzz/tests/fuzz/<target> FILE).
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=60
case "${1:-}" in
  "") ;;
  --short) seconds=10 ;;
  *[!0-9]* | 0) echo "usage: scripts/fuzz.sh [SECONDS | --short]" >&2; exit 2 ;;
  *) seconds=$1 ;;
esac

scripts/install-deps.sh native fuzz
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz

bin=build/fuzz/tests/fuzz
artifacts=build/fuzz/artifacts
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

rows=()
failed=0
for source in tests/fuzz/fuzz_*.cpp; do
  target=$(basename "$source" .cpp)
  corpus=tests/fuzz/corpus/$target
  if [ ! -d "$corpus" ]; then
    echo "fuzz: $target has no seed corpus in $corpus" >&2
    exit 1
  fi
  mkdir -p "$work/$target"
  cp "$corpus"/* "$work/$target"/
  rm -rf "${artifacts:?}/$target"
  mkdir -p "$artifacts/$target"
  log=$artifacts/$target/fuzz.log

  echo "== $target: $seconds s ==" >&2
  start=$(date +%s.%N)
  status=0
  # -timeout: an input that runs for 10 s counts as a hang.
  # TMPDIR: the loader target's Windows directory lives there, and goes with $work even when a
  # crash ends the run before the target can remove it.
  mkdir -p "$work/tmp"
  TMPDIR=$work/tmp "$bin/$target" -max_total_time="$seconds" -timeout=10 -print_final_stats=1 \
    -artifact_prefix="$artifacts/$target/" "$work/$target" >"$log" 2>&1 || status=$?
  end=$(date +%s.%N)

  executions=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
  found=$(find "$artifacts/$target" -maxdepth 1 -type f \
    \( -name 'crash-*' -o -name 'leak-*' -o -name 'timeout-*' -o -name 'oom-*' \) | wc -l)
  if [ "$status" -ne 0 ] && [ "$found" -eq 0 ]; then
    found=1  # stopped without leaving an input behind: still a failure
  fi
  if [ "$found" -ne 0 ]; then
    failed=1
    echo "fuzz: $target failed (exit $status); log and inputs in $artifacts/$target/" >&2
    grep -E 'ERROR|SUMMARY|runtime error|Test unit written' "$log" | head -n 10 >&2 || true
  fi
  wall=$(awk -v a="$start" -v b="$end" 'BEGIN { printf "%.1f", b - a }')
  rows+=("$(printf '%-26s %12s %9s %8d' "$target" "${executions:-?}" "$wall" "$found")")
done

printf '\n%-26s %12s %9s %8s\n' target executions "wall s" crashes
for row in "${rows[@]}"; do
  echo "$row"
done
exit "$failed"
