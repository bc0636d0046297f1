#!/usr/bin/env bash
# Sets up a Debian 12 machine, builds Vellumcraft and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$(nproc)"
if [ -x build/vellumcraft ]; then
  exec build/vellumcraft "$@"
fi
echo "The application window is not built yet: this build holds the label engine and its tests."
echo "Run scripts/test.sh to build and test it."
