#!/usr/bin/env bash
# Records what each script of the VBScript corpus prints under an independent
# implementation of the language (Wine's console script host, used as a black box), as
# the fixtures tests/script compares our interpreter with. Needs Debian's wine64 and
# wine packages; CI does not, since the fixtures are committed.
#
#   tools/record_vbscript.sh [tests/data/vbscript/NAME.vbs ...]   (default: all)
#
# Lines of an existing fixture that start with "##" note where we decided to differ
# from the recording; they are kept, and the recorded lines must then be corrected by
# hand again. That host reports no errors on its console, so the "!error" lines that
# end scripts with an uncaught or syntax error are written by hand too.
set -euo pipefail
cd "$(dirname "$0")/.."
command -v wine >/dev/null || { echo "wine is not installed (apt-get install -y wine64 wine)" >&2; exit 1; }

prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
export WINEPREFIX="$prefix" WINEDEBUG=-all
wineboot -i >/dev/null 2>&1 || true

if [ $# -eq 0 ]; then
  set -- tests/data/vbscript/*.vbs
fi
for script in "$@"; do
  fixture="${script%.vbs}.out"
  notes=$(grep '^##' "$fixture" 2>/dev/null || true)
  recorded=$(cd "$(dirname "$script")" && timeout 120 wine cscript //nologo "$(basename "$script")" 2>/dev/null | tr -d '\r' | sed '/^Unhandled exception/,$d' || true)
  {
    [ -n "$notes" ] && printf '%s\n' "$notes"
    [ -n "$recorded" ] && printf '%s\n' "$recorded"
  } > "$fixture"
  echo "recorded $fixture"
done
