#!/usr/bin/env bash
# Sets up a Debian 12 machine and runs every test: a plain build, a build under
# AddressSanitizer + UndefinedBehaviorSanitizer, and brief fuzz runs.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/deps.sh

jobs=$(nproc)
export CTEST_OUTPUT_ON_FAILURE=1

echo "== plain build"
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$jobs"

cleanup() { scripts/dbservers.sh stop >/dev/null 2>&1 || true; }
trap cleanup EXIT
scripts/dbservers.sh start
# shellcheck disable=SC1091
source "${VC_DB_ENV:-${VC_DB_DIR:-/tmp/vellumcraft-db}/env.sh}"
# Tests that need the servers fail, rather than skip, when their settings are missing.
export VC_REQUIRE_DB=1

echo "== tests"
(cd build && ctest -j "$jobs")

echo "== sanitized build and tests"
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DVC_SANITIZE=ON -DVC_BENCH=OFF \
  -DCMAKE_CXX_FLAGS_DEBUG="-g -O1" >/dev/null
cmake --build build-asan -j "$jobs"
(cd build-asan && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 ctest -j "$jobs")

if compgen -G "tests/fuzz/*Fuzz.cpp" >/dev/null; then
  echo "== fuzz runs"
  CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVC_FUZZ=ON \
    -DVC_BENCH=OFF >/dev/null
  cmake --build build-fuzz -j "$jobs"
  for target in build-fuzz/tests/fuzz/*Fuzz; do
    name=$(basename "$target")
    corpus=$(mktemp -d)
    [ -d "tests/fuzz/corpus/$name" ] && cp -r "tests/fuzz/corpus/$name/." "$corpus/"
    echo "-- $name"
    QT_QPA_PLATFORM=offscreen "$target" -max_total_time="${VC_FUZZ_SECONDS:-30}" -rss_limit_mb=4096 \
      -print_final_stats=0 "$corpus" 2>&1 | tail -n 3
    rm -rf "$corpus"
  done
fi
echo "== all tests passed"
