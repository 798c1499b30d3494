#!/usr/bin/env bash
# Opening the skin archive and parsing every markup file in it, against
# extracting the same archive with 7zz, in the same run:
#   bench/skin_archive_bench.sh [ROUNDS]
# Builds build/win64 (and the benchmark skin: 93 files, about 1.2 MB
# unpacked, LZMA2 solid), runs skin_bench.exe under Wine, then `7zz x` of the
# same archive ROUNDS times, and prints both with their ratios.
# skin_bench times itself inside its process (no Wine start-up); 7zz is timed
# as a whole process, which is what extracting a skin costs on its own.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
rounds=${1:-20}
build="$root/build/win64"

[ -f "$build/build.ninja" ] || bash "$root/scripts/build.sh" win64 >/dev/null
cmake --build "$build" --target skin_bench bench_skin_archive >/dev/null
archive="$build/bench/bench_skin.7z"

ours=$("$build/wine-run" "$build/bin/skin_bench.exe" "Z:${archive//\//\\}" "$rounds" | tr -d '\r')

python3 - "$archive" "$rounds" "$ours" <<'PY'
import os, resource, shutil, statistics, subprocess, sys, tempfile, time

archive, rounds, ours = sys.argv[1], int(sys.argv[2]), sys.argv[3]
values = dict(line.split("=", 1) for line in ours.splitlines() if "=" in line)
seven = shutil.which("7zz") or shutil.which("7z")
times = []
with tempfile.TemporaryDirectory() as scratch:
    for i in range(rounds):
        target = os.path.join(scratch, str(i))
        start = time.perf_counter()
        subprocess.run([seven, "x", "-y", "-bso0", "-bsp0", "-o" + target, archive], check=True)
        times.append((time.perf_counter() - start) * 1000)
peak_kib = resource.getrusage(resource.RUSAGE_CHILDREN).ru_maxrss  # KiB on Linux

ms = float(values["median_ms"])
ref_ms = statistics.median(times)
ours_kib = int(values["peak_private_increase_kib"])
print("skin archive: %s files, %s bytes unpacked, %s bytes packed; %s markup files, %s elements"
      % (values["files"], values["unpacked_bytes"], values["archive_bytes"], values["markup_files"], values["elements"]))
print("open + parse every markup (in process, %d rounds): median %.2f ms, fastest %s ms" % (rounds, ms, values["min_ms"]))
print("  peak memory above the process's own: %d KiB (process peak working set %s KiB under Wine)"
      % (ours_kib, values["peak_working_set_kib"]))
print("7zz x of the same archive (%d runs): median %.2f ms, fastest %.2f ms, peak RSS %d KiB"
      % (rounds, ref_ms, min(times), peak_kib))
print("ratio time (ours / 7zz x): %.2f" % (ms / ref_ms))
print("ratio peak memory (ours above baseline / 7zz peak RSS): %.2f" % (ours_kib / peak_kib))
PY
