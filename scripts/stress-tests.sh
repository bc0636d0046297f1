#!/usr/bin/env bash
# Runs a test suite again and again on cores that busy loops share with it, as on a loaded CI
# runner, and reports how many runs passed. The suites are the built ones (scripts/test.sh, or
# the cmake lines in the README); the database servers are those of scripts/dbservers.sh.
#
#   scripts/stress-tests.sh [options] SUITE...
#     -c CORES   cores the suite and the loops share, as taskset takes them (default 0,1)
#     -l LOOPS   busy loops on those cores (default 4)
#     -r RUNS    runs of each suite in each tree (default 10)
#     -f FILTER  a GoogleTest filter (--gtest_filter) for every run
#     -t TREES   plain, sanitized or both (default both): build and build-asan
#     -k DIR     keeps each failing run's output there (default: a new temporary folder)
#
#   scripts/stress-tests.sh -r 10 test_platform test_model
#
# Each run is the suite's ctest entry, so it has the environment ctest gives it (the offscreen
# platform, the leak suppressions, ASAN_OPTIONS as scripts/test.sh sets them for the sanitized
# tree). The loops run at normal priority and end with the script, however it ends.
set -euo pipefail
cd "$(dirname "$0")/.."

cores=0,1
loops=4
runs=10
filter=
trees=both
keep=
while getopts c:l:r:f:t:k: option; do
  case $option in
  c) cores=$OPTARG ;;
  l) loops=$OPTARG ;;
  r) runs=$OPTARG ;;
  f) filter=$OPTARG ;;
  t) trees=$OPTARG ;;
  k) keep=$OPTARG ;;
  *) sed -n '2,19p' "$0" >&2; exit 2 ;;
  esac
done
shift $((OPTIND - 1))
(($# > 0)) || { sed -n '2,19p' "$0" >&2; exit 2; }
case $trees in
plain) dirs=(build) ;;
sanitized) dirs=(build-asan) ;;
both) dirs=(build build-asan) ;;
*) echo "-t takes plain, sanitized or both" >&2; exit 2 ;;
esac
keep=${keep:-$(mktemp -d)}
mkdir -p "$keep"

env_file=${VC_DB_ENV:-${VC_DB_DIR:-/tmp/vellumcraft-db}/env.sh}
if [ -f "$env_file" ]; then
  # shellcheck disable=SC1090
  source "$env_file"
  export VC_REQUIRE_DB=1
else
  echo "== no $env_file: the database tests skip (scripts/dbservers.sh start)" >&2
fi

busy=()
current= # the run under way, in a process group of its own
stop_loops() {
  local pid
  [ -n "$current" ] && kill -- "-$current" 2>/dev/null || true
  for pid in "${busy[@]}"; do
    kill "$pid" 2>/dev/null || true
  done
  for pid in "${busy[@]}" $current; do
    wait "$pid" 2>/dev/null || true
  done
  busy=()
}
trap stop_loops EXIT
trap 'exit 130' INT TERM
for ((i = 0; i < loops; ++i)); do
  taskset -c "$cores" bash -c 'while :; do :; done' &
  busy+=($!)
done
echo "== $loops busy loops on cores $cores; failing runs kept in $keep"

failed=0
for dir in "${dirs[@]}"; do
  extra=()
  [ "$dir" = build-asan ] && extra=(ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1)
  for suite in "$@"; do
    [ -x "$dir/tests/$suite" ] || { echo "== $dir/tests/$suite is not built" >&2; exit 1; }
    passed=0
    for ((run = 1; run <= runs; ++run)); do
      log=$keep/$suite-$dir-$run.log
      start=$SECONDS
      # In the background, so that an interrupt of the script ends the run and the loops at once.
      (cd "$dir" && exec env "${extra[@]}" ${filter:+GTEST_FILTER="$filter"} \
        setsid -w taskset -c "$cores" ctest --output-on-failure -R "^$suite\$") >"$log" 2>&1 &
      current=$!
      status=0
      wait "$current" || status=$?
      current=
      if ((status == 0)); then
        passed=$((passed + 1))
        rm -f "$log"
        echo "   $dir $suite run $run: passed ($((SECONDS - start)) s)"
      else
        echo "   $dir $suite run $run: FAILED ($((SECONDS - start)) s), $log"
        grep -E '^\[  FAILED  \]|LeakSanitizer|ERROR: AddressSanitizer|runtime error' "$log" | sort -u | head -n 8 | sed 's/^/     /'
      fi
    done
    echo "== $dir $suite: $passed of $runs runs passed"
    ((passed == runs)) || failed=1
  done
done
exit "$failed"
