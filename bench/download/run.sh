#!/usr/bin/env bash
# Download benchmark (not part of the test command): the installer's three
# downloaders against nginx on loopback, next to curl.exe (built from the same
# Debian curl source, run under Wine the same way), native curl and
# aria2c -x2 -s2, for 64 MiB and 256 MiB files, without a limit and with a
# per-connection limit. Prints goodput, CPU seconds and peak memory of each,
# and the ratios the download engine is held to.
#   bench/download/run.sh [--repeat N] [--limit 16m] [--sizes 64,256]
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
cd "$root"
bash scripts/build.sh win64 >/dev/null
sudo=""; [ "$(id -u)" = 0 ] || sudo=sudo
for p in aria2 time; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed" || $sudo apt-get install -y -qq "$p" >/dev/null
done
work="$root/build/win64/bench/download"
mkdir -p "$work"
# shellcheck source=../../tests/support/wine-env.sh
. tests/support/wine-env.sh
tv_wine_setup "$work"
trap 'tv_wine_teardown "$work"' EXIT
curl_exe=$(sed -n 's/set(TV_CURL_PREFIX "\(.*\)")/\1/p' build/win64/deps.cmake)/bin/curl.exe
python3 bench/download/bench.py --work "$work" --bin "$root/build/win64/bin" --curl-exe "$curl_exe" "$@"
