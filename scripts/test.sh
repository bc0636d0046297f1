#!/usr/bin/env bash
# Sets up a Debian 12 machine and runs every test: a plain build, a build under
# AddressSanitizer + UndefinedBehaviorSanitizer, and brief fuzz runs.
#
# Sized for a 2-core runner with a cold compiler cache: the sanitized and fuzz trees are unity
# builds, each test suite runs while the next tree compiles, and the fuzz targets run side by
# side. VC_JOBS overrides the job count (default: the cores this process may use).
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/deps.sh

# The cores and memory this process may really use: a container can show the host's cores and
# memory while its control group grants far less, and a sanitized unity batch of the UI tests
# takes about 2 GB to compile.
job_count() {
  local cores mem_kb quota period limit
  cores=$(nproc)
  if read -r quota period 2>/dev/null </sys/fs/cgroup/cpu.max && [ "$quota" != max ]; then
    cores=$(( (quota + period - 1) / period < cores ? (quota + period - 1) / period : cores ))
  fi
  mem_kb=$(awk '/^MemAvailable:/ { print $2 }' /proc/meminfo)
  if read -r limit 2>/dev/null </sys/fs/cgroup/memory.max && [ "$limit" != max ]; then
    ((limit / 1024 < mem_kb)) && mem_kb=$((limit / 1024))
  fi
  local by_memory=$((mem_kb / (2 * 1024 * 1024)))
  ((by_memory < cores)) && cores=$by_memory
  echo $((cores < 1 ? 1 : cores))
}
jobs=${VC_JOBS:-$(job_count)}
echo "== $jobs jobs"
export CTEST_OUTPUT_ON_FAILURE=1
logs=$(mktemp -d)

# Elapsed seconds and the CPU seconds of every finished child so far, after each phase;
# scripts/measure-ci.sh reads these lines.
mark() {
  local cpu
  # times in this shell, not in a command substitution's subshell, which has no children yet.
  times >"$logs/times"
  cpu=$(awk 'NR == 2 { t = 0; for (i = 1; i <= 2; i++) { split($i, p, /[ms]/); t += p[1] * 60 + p[2] } printf "%.0f", t }' "$logs/times")
  echo "== done: $1 (${SECONDS} s elapsed, ${cpu} s CPU)"
}

# Builds a tree; when a parallel build fails it goes on one job at a time, so a compiler that
# was starved of memory or disk by its neighbours gets another chance, and a real error prints
# alone rather than among the other jobs' output.
build_tree() { # tree
  cmake --build "$1" -j "$jobs" && return 0
  ((jobs > 1)) || return 1
  echo "== $1: the parallel build failed; going on one job at a time"
  df -h "$1" | tail -n 1
  cmake --build "$1" -j 1
}

# Runs a command in the background with its output in a log, for finish_bg to collect.
start_bg() { # name command...
  local name=$1
  shift
  "$@" >"$logs/$name.log" 2>&1 &
  eval "bg_$name=$!"
}
finish_bg() { # name
  local pid_var="bg_$1" status=0
  wait "${!pid_var}" || status=$?
  cat "$logs/$1.log"
  if ((status)); then
    echo "== $1 failed"
    exit "$status"
  fi
  mark "$1"
}

cleanup() {
  # A failed build leaves the suite or server start running in the background: end them first.
  local pids
  pids=$(jobs -p)
  if [ -n "$pids" ]; then
    # shellcheck disable=SC2086
    kill $pids 2>/dev/null || true
    wait 2>/dev/null || true
  fi
  scripts/dbservers.sh stop >/dev/null 2>&1 || true
  rm -rf "$logs"
}
trap cleanup EXIT
# The database servers start while the plain tree compiles.
start_bg dbservers scripts/dbservers.sh start

echo "== plain build"
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
build_tree build
mark "plain build"

finish_bg dbservers
# shellcheck disable=SC1090,SC1091
source "${VC_DB_ENV:-${VC_DB_DIR:-/tmp/vellumcraft-db}/env.sh}"
# Tests that need the servers fail, rather than skip, when their settings are missing.
export VC_REQUIRE_DB=1

run_ctest() { # tree [environment...]
  local tree=$1
  shift
  (cd "$tree" && env "$@" ctest -j "$jobs")
}

echo "== plain tests, while the sanitized tree compiles"
start_bg plain_tests run_ctest build
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DVC_SANITIZE=ON -DVC_BENCH=OFF \
  -DCMAKE_CXX_FLAGS_DEBUG="-g -O1" -DCMAKE_UNITY_BUILD=ON >/dev/null
build_tree build-asan
mark "sanitized build"
finish_bg plain_tests

fuzz=0
compgen -G "tests/fuzz/*Fuzz.cpp" >/dev/null && fuzz=1
echo "== sanitized tests$( ((fuzz)) && echo ", while the fuzz tree compiles")"
start_bg sanitized_tests run_ctest build-asan ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1
if ((fuzz)); then
  CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVC_FUZZ=ON \
    -DVC_BENCH=OFF -DCMAKE_UNITY_BUILD=ON >/dev/null
  build_tree build-fuzz
  mark "fuzz build"
fi
finish_bg sanitized_tests

if ((fuzz)); then
  echo "== fuzz runs"
  fuzz_one() { # target
    local name corpus status=0 options=()
    name=$(basename "$1")
    corpus=$(mktemp -d)
    [ -d "tests/fuzz/corpus/$name" ] && cp -r "tests/fuzz/corpus/$name/." "$corpus/"
    # A target's own flags, such as inputs longer than its seeds: tests/fuzz/<target>.options.
    [ -f "tests/fuzz/$name.options" ] && read -r -a options <"tests/fuzz/$name.options"
    QT_QPA_PLATFORM=offscreen "$1" -max_total_time="${VC_FUZZ_SECONDS:-30}" -rss_limit_mb=4096 \
      -print_final_stats=0 "${options[@]}" "$corpus" >"$logs/fuzz-$name.log" 2>&1 || status=$?
    rm -rf "$corpus"
    echo "$status" >"$logs/fuzz-$name.status"
    return "$status"
  }
  export -f fuzz_one
  export logs
  status=0
  # shellcheck disable=SC2016
  printf '%s\n' build-fuzz/tests/fuzz/*Fuzz | xargs -P "$jobs" -I{} bash -c 'fuzz_one "$1"' _ {} || status=$?
  for target in build-fuzz/tests/fuzz/*Fuzz; do
    name=$(basename "$target")
    echo "-- $name"
    # A crash shows in full; a clean run by its last lines.
    if [ "$(cat "$logs/fuzz-$name.status" 2>/dev/null)" = 0 ]; then
      tail -n 3 "$logs/fuzz-$name.log"
    else
      cat "$logs/fuzz-$name.log"
    fi
  done
  ((status == 0)) || exit "$status"
  mark "fuzz runs"
fi
echo "== all tests passed"
