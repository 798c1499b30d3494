#!/usr/bin/env bash
# Builds everything (both architectures) and runs every test under wine64,
# then prints one closing summary line. Extra arguments go to ctest
# (for example: scripts/test.sh -R Config).
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

bash scripts/build.sh || { echo "tests: build failed"; exit 1; }

build="$root/build/win64"
# shellcheck source=../tests/support/wine-env.sh
. tests/support/wine-env.sh
tv_wine_setup "$build"

log="$build/ctest.log"
(cd "$build" && ctest -j "$(nproc)" --output-on-failure --timeout 600 "$@") 2>&1 | tee "$log"
rc=${PIPESTATUS[0]}
tv_wine_teardown "$build"

summary=$(grep -E '^[0-9]+% tests passed' "$log" | tail -n1)
total=$(sed -nE 's/.* out of ([0-9]+).*/\1/p' <<<"$summary")
failed=$(sed -nE 's/.*tests passed, ([0-9]+) tests failed.*/\1/p' <<<"$summary")
if [ -n "$total" ]; then
  echo "tests: $((total - failed)) passed, $failed failed"
else
  echo "tests: no test ran (ctest exit $rc)"
  [ "$rc" -ne 0 ] || rc=1
fi
exit "$rc"
