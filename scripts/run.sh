#!/usr/bin/env bash
# Sets up a Debian 12 machine, builds Vellumcraft and opens it, with the label file
# given (scripts/run.sh [file.vmk]). On a machine without a display the program is
# started under a virtual X server instead: it opens, saves a picture of its main
# window and ends, which shows that it starts.
set -euo pipefail
# File names are taken from where the script was called.
args=()
for a in "$@"; do
  if [[ "$a" != -* && "$a" != /* ]]; then a="$PWD/$a"; fi
  args+=("$a")
done
cd "$(dirname "$0")/.."
scripts/deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$(nproc)" --target vellumcraft

# Qt's own dialogs (files, colours, fonts, messages) speak the program's Chinese.
export LANG=zh_CN.UTF-8
unset LC_ALL LANGUAGE

if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
  exec build/vellumcraft "${args[@]}"
fi

shot="${VC_SCREENSHOT:-$PWD/build/vellumcraft-screenshot.png}"
echo "No display here (neither DISPLAY nor WAYLAND_DISPLAY is set): starting Vellumcraft under Xvfb instead."
xvfb-run -a -s "-screen 0 1600x1000x24" build/vellumcraft --screenshot "$shot" "${args[@]}"
echo "Vellumcraft started; its main window is saved in $shot"
