#!/usr/bin/env bash
# CTest's emulator for the Windows test programs:
#   wine-run.sh BUILD_DIR PROGRAM.exe [ARGS...]
# runs PROGRAM under wine64 in BUILD_DIR's test prefix with its display.
#
# The program's output goes through files, not straight to CTest's pipes:
# Wine starts some of its own programs on demand (the desktop process when a
# test opens the first window, ...) and they inherit the output handles of
# whatever process started them; on a pipe, CTest would wait for them to end.
# TV_WINE_RUN_STREAM=1 passes the output through directly instead (for a
# caller that reads it while the program runs).
set -euo pipefail
build=$1
shift
# shellcheck source=wine-env.sh
. "$(dirname "$0")/wine-env.sh"
tv_wine_setup "$build"
if [ "${TV_WINE_RUN_STREAM:-0}" = 1 ]; then
  exec "$TV_WINE" "$@"
fi
out=$(mktemp)
err=$(mktemp)
trap 'rm -f "$out" "$err"' EXIT
set +e
"$TV_WINE" "$@" >"$out" 2>"$err"
code=$?
set -e
cat "$out"
cat "$err" >&2
exit "$code"
