#!/usr/bin/env bash
# Measures scripts/test.sh as CI runs it: a fresh clone of the committed HEAD, no compiler cache,
# two cores.
#
#   scripts/measure-ci.sh             # CCACHE_DISABLE=1 taskset -c 0,1 scripts/test.sh; needs a quiet machine
#   scripts/measure-ci.sh --shared N  # on a machine others are using: N jobs, no pinning, judged by CPU time
#
# Wall time on a busy machine says little, so every run also reports the CPU seconds (user + sys)
# of each phase and the compile commands that cost most. On two cores that are busy throughout,
# a phase takes about half its CPU time; the fuzz runs take their fixed duration per pair of
# targets. VC_MEASURE_DIR keeps the clone and logs (default: a new temporary folder).
set -euo pipefail

if [ "${1:-}" = --log-command ]; then
  # Compiler launcher: runs one command and appends its CPU seconds and output to $VC_CPU_LOG.
  shift
  out="?" prev=
  for arg in "$@"; do
    [ "$prev" = -o ] && out=$arg
    prev=$arg
  done
  t=$(mktemp)
  status=0
  /usr/bin/time -f "%U %S" -o "$t" "$@" || status=$?
  echo "$(tail -n 1 "$t") $out" >>"$VC_CPU_LOG"
  rm -f "$t"
  exit "$status"
fi

mode=pinned
jobs=2
if [ "${1:-}" = --shared ]; then
  mode=shared
  jobs=${2:-2}
fi
[ -x /usr/bin/time ] || { echo "needs /usr/bin/time (apt-get install time)" >&2; exit 1; }

repo=$(cd "$(dirname "$0")/.." && pwd)
self=$repo/scripts/measure-ci.sh
dir=${VC_MEASURE_DIR:-$(mktemp -d)}
mkdir -p "$dir"
rm -rf "$dir/clone"
git clone -q --no-checkout "$repo" "$dir/clone"
git -C "$dir/clone" checkout -q "$(git -C "$repo" rev-parse HEAD)"
# Servers of its own, apart from any a developer has running.
export VC_DB_DIR=$dir/db
log=$dir/test.log
export VC_CPU_LOG=$dir/compile-cpu.log
: >"$VC_CPU_LOG"
export CCACHE_DISABLE=1
# A list, as CMake reads it from the environment.
export CMAKE_CXX_COMPILER_LAUNCHER="$self;--log-command" CMAKE_C_COMPILER_LAUNCHER="$self;--log-command"

echo "measuring $(git -C "$dir/clone" log -1 --format='%h %s') in $dir ($mode)"
status=0
if [ "$mode" = pinned ]; then
  /usr/bin/time -f "%e %U %S" -o "$dir/total.time" taskset -c 0,1 "$dir/clone/scripts/test.sh" >"$log" 2>&1 || status=$?
else
  VC_JOBS=$jobs /usr/bin/time -f "%e %U %S" -o "$dir/total.time" "$dir/clone/scripts/test.sh" >"$log" 2>&1 || status=$?
fi
if ((status)); then
  tail -n 40 "$log"
  echo "scripts/test.sh failed ($status); log: $log"
  exit "$status"
fi

fuzz_targets=$(find "$dir/clone/build-fuzz/tests/fuzz" -maxdepth 1 -name '*Fuzz' -type f 2>/dev/null | wc -l)
read -r wall user sys <"$dir/total.time"
echo
echo "phase                       elapsed s   CPU s   2-core estimate s"
grep '^== done: ' "$log" | sed -E 's/^== done: (.*) \(([0-9]+) s elapsed, ([0-9]+) s CPU\)$/\1|\2|\3/' |
  awk -F'|' -v fuzz="$fuzz_targets" -v secs="${VC_FUZZ_SECONDS:-30}" '
    { cpu = $3 - prev_cpu; el = $2 - prev_el; prev_cpu = $3; prev_el = $2
      est = cpu / 2
      if ($1 == "fuzz runs") { floor = int((fuzz + 1) / 2) * secs; if (est < floor) est = floor }
      total += est
      printf "%-28s %9d %7d %9d\n", $1, el, cpu, est }
    END { printf "%-28s %9s %7s %9d  (%.1f min)\n", "total", "", "", total, total / 60 }'
printf 'whole run: %.0f s elapsed, %.0f s CPU\n' "$wall" "$(awk -v u="$user" -v s="$sys" 'BEGIN { print u + s }')"
echo
echo "compile commands with the most CPU seconds:"
awk '{ printf "%8.1f  %s\n", $1 + $2, $3 }' "$VC_CPU_LOG" | sort -rn | head -n 15
awk '{ t += $1 + $2 } END { printf "%8.1f  all %d compile commands\n", t, NR }' "$VC_CPU_LOG"
echo "log: $log"
