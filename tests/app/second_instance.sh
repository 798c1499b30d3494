#!/usr/bin/env bash
# A second installer started from a Unix shell while another process holds
# the single-instance mutex: Wine's caller sees -1 as 255. Once the holder has
# ended, the installer runs normally.
#   second_instance.sh WINE_RUN BIN_DIR
set -euo pipefail
run=$1
bin=$2
fifo=$(mktemp -u)
mkfifo "$fifo"
trap 'rm -f "$fifo"' EXIT

TV_WINE_RUN_STREAM=1 "$run" "$bin/tv_test_helper.exe" hold-mutex D1A547DB89C0BC61_Installer_Transvera 5000 > "$fifo" &
holder=$!
read -r line < "$fifo"
line=${line%$'\r'}
[ "$line" = held ] || { echo "holder did not start: $line"; exit 1; }

set +e
"$run" "$bin/TransveraSetup.exe"
second=$?
wait "$holder"
"$run" "$bin/TransveraSetup.exe"
fresh=$?
set -e
echo "second copy: $second, after the holder ended: $fresh"
[ "$second" = 255 ] && [ "$fresh" = 0 ]
