#!/usr/bin/env bash
# Builds the native preset (no sanitizers) in build/valgrind and runs every unit-test case that
# ctest knows under valgrind's memcheck, each case in a process of its own as ctest runs it (the
# tests of module-wide state need a fresh process), children (the licence tool the licensetool
# tests start) included; the system's openssl command, which one test runs for reference
# answers, is left out. Prints valgrind's ERROR SUMMARY per program and in total; non-zero
# exit on any memcheck error, definite or indirect leak, or failing case. Logs are kept in
# build/valgrind/memcheck/. JOBS=n sets how many cases run at once (default: the CPU count).
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh native fuzz
build=build/valgrind
cmake --preset native -B "$build" -DLXAGREE_BENCHMARKS=OFF >/dev/null
cmake --build "$build" -j "$(nproc)"

logs=$build/memcheck
rm -rf "$logs"
mkdir -p "$logs"

# "program filter" per case, from the commands ctest would run. Every test is a GoogleTest case
# registered by gtest_discover_tests; anything else would need a rule of its own here.
cases=$logs/cases.txt
ctest --test-dir "$build" -N -V |
  sed -n 's/^.*Test command: \([^ ]*\) "--gtest_filter=\([^"]*\)".*$/\1 \2/p' >"$cases"
registered=$(ctest --test-dir "$build" -N | sed -n 's/^Total Tests: //p')
if [ "$(wc -l <"$cases")" -ne "$registered" ]; then
  echo "valgrind: $registered tests registered, $(wc -l <"$cases") understood as GoogleTest cases" >&2
  exit 1
fi

run_case() {  # program filter; logs go to $memcheck_logs (absolute)
  local program=$1 filter=$2 logs=$memcheck_logs
  local name
  name=$(basename "$program").${filter//[^A-Za-z0-9_.-]/_}
  # The working directory is the tests' own, as under ctest.
  if (cd "$(dirname "$program")" &&
    valgrind --tool=memcheck --leak-check=full --errors-for-leak-kinds=definite,indirect \
      --error-exitcode=1 --trace-children=yes --trace-children-skip-by-arg='openssl *' \
      --child-silent-after-fork=yes \
      --log-file="$logs/$name.%p.vg" \
      "$program" --gtest_filter="$filter" >"$logs/$name.out" 2>&1); then
    echo "pass $(basename "$program") $filter" >"$logs/$name.status"
  else
    echo "FAIL $(basename "$program") $filter" >"$logs/$name.status"
  fi
}
export -f run_case

start=$(date +%s)
memcheck_logs=$(cd "$logs" && pwd)
export memcheck_logs
# shellcheck disable=SC2016 # $0 and $1 are run_case's arguments in the inner shell
xargs -P "${JOBS:-$(nproc)}" -L 1 bash -c 'run_case "$0" "$1"' <"$cases"
elapsed=$(($(date +%s) - start))

# ERROR SUMMARY of every process (children included), summed per program. A process whose
# log has none is counted as an error, except one started under a file-size limit by the test
# itself (ulimit -f): that limit cuts valgrind's own log short too, so such a process is only
# listed, as unchecked.
total_errors=0
total_cases=0
failed_cases=0
total_unchecked=0
unchecked_list=$logs/unchecked.txt
: >"$unchecked_list"
printf '\n%-30s %6s %9s %7s %9s %7s\n' program cases processes errors unchecked failed
while read -r program; do
  base=$(basename "$program")
  count=$(grep -c "^$program " "$cases")
  processes=0
  errors=0
  unchecked=0
  for log in "$logs/$base".*.vg; do
    [ -e "$log" ] || continue
    processes=$((processes + 1))
    summary=$(sed -n 's/^==[0-9]*== ERROR SUMMARY: \([0-9]*\) errors.*/\1/p' "$log")
    if [ -z "$summary" ]; then
      parent=$(sed -n 's/^==[0-9]*== Parent PID: \([0-9]*\)$/\1/p' "$log")
      parent_log=$(dirname "$log")/$(basename "$log" | sed 's/\.[0-9]*\.vg$//').$parent.vg
      if [ -n "$parent" ] && [ -e "$parent_log" ] &&
        sed 's/\\//g' "$parent_log" | grep -q '^==[0-9]*== Command: .*ulimit -f'; then
        unchecked=$((unchecked + 1))
        echo "$log" >>"$unchecked_list"
      else
        errors=$((errors + 1))
        echo "valgrind: no ERROR SUMMARY in $log" >&2
      fi
      continue
    fi
    errors=$((errors + summary))
  done
  failed=$(cat "$logs/$base".*.status | grep -c '^FAIL' || true)
  printf '%-30s %6d %9d %7d %9d %7d\n' "$base" "$count" "$processes" "$errors" "$unchecked" \
    "$failed"
  total_errors=$((total_errors + errors))
  total_cases=$((total_cases + count))
  failed_cases=$((failed_cases + failed))
  total_unchecked=$((total_unchecked + unchecked))
done < <(cut -d' ' -f1 "$cases" | sort -u)
printf '%-30s %6d %9s %7d %9d %7d\n' total "$total_cases" "" "$total_errors" "$total_unchecked" \
  "$failed_cases"
if [ "$total_unchecked" -ne 0 ]; then
  echo "valgrind: $total_unchecked process(es) ran under the test's own file-size limit, which" \
    "cut their valgrind log short (listed in $unchecked_list)" >&2
fi
echo "valgrind: $total_cases cases in ${elapsed} s; logs in $logs" >&2

if [ "$total_errors" -ne 0 ] || [ "$failed_cases" -ne 0 ]; then
  grep -h '^FAIL' "$logs"/*.status >&2 || true
  exit 1
fi
