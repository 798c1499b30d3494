#!/usr/bin/env bash
# Builds the installer and runs it under wine64 in a prefix of its own
# (build/win64/demo/wineprefix).
#
# For now the installer has no window yet: it runs its start-up (single-
# instance guard, configuration, command line) and ends. What it would do is
# printed by `tvprobe config` with the same options. Options given to this
# script are passed to both, e.g.  scripts/run.sh -downloadtype=3
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

bash scripts/build.sh win64
bin="$root/build/win64/bin"
demo="$root/build/win64/demo"
# shellcheck source=../tests/support/wine-env.sh
. tests/support/wine-env.sh
tv_wine_setup "$demo"
trap 'tv_wine_teardown "$demo"' EXIT

echo "== configuration the installer runs with (tvprobe config $*)"
"$TV_WINE" "$bin/tvprobe.exe" config "$@"
echo "== TransveraSetup.exe $*"
set +e
"$TV_WINE" "$bin/TransveraSetup.exe" "$@"
code=$?
set -e
echo "TransveraSetup.exe exited with $code (0: normal run, 255: another copy holds the single-instance mutex)."
echo "The installer window comes with a later version; this run shows its start-up only."
