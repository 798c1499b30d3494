#!/usr/bin/env bash
# CTest's emulator for the Windows test programs:
#   wine-run.sh BUILD_DIR PROGRAM.exe [ARGS...]
# runs PROGRAM under wine64 in BUILD_DIR's test prefix with its display.
set -euo pipefail
build=$1
shift
# shellcheck source=wine-env.sh
. "$(dirname "$0")/wine-env.sh"
tv_wine_setup "$build"
exec "$TV_WINE" "$@"
