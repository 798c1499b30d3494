"""Download benchmark driver; see run.sh. Prints one table per condition and
the ratios at the end. Each figure is the median of --repeat runs."""
import argparse
import hashlib
import os
import shutil
import socket
import statistics
import subprocess
import sys
import time

MiB = 1024 * 1024


def free_port():
    s = socket.socket()
    s.bind(("127.0.0.1", 0))
    port = s.getsockname()[1]
    s.close()
    return port


def winpath(path):
    return "Z:" + path.replace("/", "\\")


def make_file(path, size):
    if os.path.exists(path) and os.path.getsize(path) == size:
        return
    with open(path, "wb") as f:
        left = size
        while left:
            n = min(left, 8 * MiB)
            f.write(os.urandom(n))
            left -= n


def md5_of(path):
    h = hashlib.md5()
    with open(path, "rb") as f:
        for chunk in iter(lambda: f.read(8 * MiB), b""):
            h.update(chunk)
    return h.hexdigest()


def measure(argv):
    """Runs argv under GNU time; returns (seconds, CPU seconds, peak RSS in
    MiB, exit code). (A child's peak RSS counter starts from its parent's at
    fork, so it is read by the small `time` process, not by this one.)"""
    report = os.path.join(os.environ.get("TMPDIR", "/tmp"), "tv-bench-time.%d" % os.getpid())
    start = time.perf_counter()
    code = subprocess.call(["/usr/bin/time", "-f", "%U %S %M", "-o", report] + argv,
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    seconds = time.perf_counter() - start
    with open(report) as f:
        user, system, rss = f.read().split()[-3:]
    os.remove(report)
    return seconds, float(user) + float(system), int(rss) / 1024.0, code


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--work", required=True)
    ap.add_argument("--bin", required=True)
    ap.add_argument("--curl-exe", required=True)
    ap.add_argument("--repeat", type=int, default=3)
    ap.add_argument("--limit", default="16m")
    ap.add_argument("--sizes", default="64,256")
    args = ap.parse_args()

    work, wine = args.work, "/usr/lib/wine/wine64"
    tvprobe = os.path.join(args.bin, "tvprobe.exe")
    # Downloads land in memory (/dev/shm when there is one): the figures are
    # those of the downloaders, not of the disk's write-back.
    shm = "/dev/shm" if os.path.isdir("/dev/shm") else work
    www, out_dir = os.path.join(work, "www"), os.path.join(shm, "tv-bench-out")
    os.makedirs(www, exist_ok=True)
    os.makedirs(out_dir, exist_ok=True)
    os.makedirs(os.path.join(work, "tmp"), exist_ok=True)

    sizes = [int(s) * MiB for s in args.sizes.split(",")]
    files = {}
    for size in sizes:
        source = os.path.join(www, "f%d.bin" % (size // MiB))
        make_file(source, size)
        digest = md5_of(source)
        os.makedirs(os.path.join(www, "pkg", digest), exist_ok=True)
        target = os.path.join(www, "pkg", digest, "package.exe")
        if not os.path.exists(target):
            os.link(source, target)
        files[size] = ("/pkg/%s/package.exe" % digest, digest, source)

    plain, limited = free_port(), free_port()
    conf = os.path.join(work, "nginx.conf")
    with open(conf, "w") as f:
        f.write("""worker_processes 2;
error_log {w}/error.log; pid {w}/nginx.pid;
events {{ worker_connections 256; }}
http {{
  access_log off; sendfile on; tcp_nopush on;
  client_body_temp_path {w}/tmp; proxy_temp_path {w}/tmp; fastcgi_temp_path {w}/tmp;
  uwsgi_temp_path {w}/tmp; scgi_temp_path {w}/tmp;
  default_type application/octet-stream;
  server {{ listen 127.0.0.1:{p}; root {www}; }}
  server {{ listen 127.0.0.1:{l}; root {www}; limit_rate {rate}; }}
}}
""".format(w=work, p=plain, l=limited, www=www, rate=args.limit))
    subprocess.run(["nginx", "-c", conf, "-p", work], check=True)
    try:
        run_all(args, wine, tvprobe, out_dir, sizes, files, plain, limited)
    finally:
        with open(os.path.join(work, "nginx.pid")) as f:
            os.kill(int(f.read().strip()), 15)


def run_all(args, wine, tvprobe, out_dir, sizes, files, plain, limited):
    out = os.path.join(out_dir, "download.bin")
    probe = lambda t: (lambda url: [wine, tvprobe, "download", "--type", t, "--url", url, "--out", winpath(out)])
    # Every tool fetches the plain URL; the "+ digest" rows fetch the same
    # file under its MD5 folder, so they also verify it (the others do not).
    tools = {
        "type 1 (single stream)": probe("1"),
        "type 1 + digest": probe("1"),
        "type 3 (two ranges)": probe("3"),
        "type 3 + digest": probe("3"),
        "type 2 (system service)": lambda url: [wine, tvprobe, "download", "--type", "2", "--url", url,
                                                "--out", winpath(out)],
            "curl.exe (Wine)": lambda url: [wine, args.curl_exe, "-s", "-o", winpath(out), url],
        "curl (native)": lambda url: ["curl", "-s", "-o", out, url],
        "aria2c -x2 -s2": lambda url: ["aria2c", "-q", "-x2", "-s2", "--allow-overwrite=true",
                                       "--file-allocation=none", "--auto-file-renaming=false",
                                       "-d", out_dir, "-o", "download.bin", url],
    }
    results = {}
    for size in sizes:
        path, digest, source = files[size]
        for label, port in (("no limit", plain), ("limit " + args.limit + "/connection", limited)):
            base = "http://127.0.0.1:%d" % port
            print("\n== %d MiB, %s" % (size // MiB, label))
            print("%-26s %10s %9s %10s" % ("tool", "MiB/s", "CPU s", "peak MiB"))
            # Rounds of every tool in turn, so a slow spell of the machine
            # does not fall on one tool alone.
            runs_of = {name: [] for name in tools}
            for _ in range(args.repeat):
                for name, argv_of in tools.items():
                    url = base + (path if "digest" in name else "/" + os.path.basename(source))
                    for stale in (out, out + ".part", out + "_0", out + "_1"):
                        if os.path.exists(stale):
                            os.remove(stale)
                    seconds, cpu, rss, code = measure(argv_of(url))
                    if code != 0 or md5_of(out) != digest:
                        print("   %s failed (exit %d)" % (name, code))
                        continue
                    runs_of[name].append((seconds, cpu, rss))
            for name in tools:
                runs = runs_of[name]
                if not runs:
                    continue
                seconds = statistics.median(r[0] for r in runs)
                cpu = statistics.median(r[1] for r in runs)
                rss = statistics.median(r[2] for r in runs)
                goodput = size / MiB / seconds
                results[(size, label, name)] = (goodput, cpu, rss)
                print("%-26s %10.1f %9.2f %10.1f" % (name, goodput, cpu, rss))
        if os.path.exists(out):
            os.remove(out)

    # The digest check: tvprobe md5 (the installer's own hashing) against md5sum.
    big = max(sizes)
    source = files[big][2]
    empty = os.path.join(out_dir, "empty.bin")
    open(empty, "wb").close()
    startup = statistics.median(measure([wine, tvprobe, "md5", winpath(empty)])[0] for _ in range(args.repeat))
    ours = statistics.median(measure([wine, tvprobe, "md5", winpath(source)])[0] for _ in range(args.repeat))
    ref = statistics.median(measure(["md5sum", source])[0] for _ in range(args.repeat))
    print("\n== MD5 of %d MiB: tvprobe md5 %.3f s (%.3f s after %.3f s of process start), md5sum %.3f s"
          % (big // MiB, ours, ours - startup, startup, ref))

    lim = "limit " + args.limit + "/connection"
    rate = float(args.limit.rstrip("mM"))
    print("\n== Ratios (goal in brackets)")

    def ratio(text, a, b, goal):
        if a is None or b is None:
            print("%-62s   n/a" % text)
        else:
            print("%-62s %6.3f  [%s]" % (text, a / b, goal))

    def get(size, label, name, field=0):
        r = results.get((size, label, name))
        return None if r is None else r[field]

    for size in sizes:
        m = size // MiB
        ratio("%d MiB no limit: type 1 / curl.exe goodput" % m,
              get(size, "no limit", "type 1 (single stream)"), get(size, "no limit", "curl.exe (Wine)"), ">= 0.95")
        ratio("%d MiB limited: type 1 / curl.exe goodput" % m,
              get(size, lim, "type 1 (single stream)"), get(size, lim, "curl.exe (Wine)"), ">= 0.95")
        g = get(size, lim, "type 1 (single stream)")
        ratio("%d MiB limited: type 1 / the %s limit" % (m, args.limit), g, rate, ">= 0.99")
        ratio("%d MiB limited: type 3 / type 1 goodput" % m,
              get(size, lim, "type 3 (two ranges)"), get(size, lim, "type 1 (single stream)"), ">= 1.95")
        ratio("%d MiB limited, with digests: type 3 / type 1 goodput" % m,
              get(size, lim, "type 3 + digest"), get(size, lim, "type 1 + digest"), "")
        ratio("%d MiB no limit, with digest: type 1 / curl.exe goodput" % m,
              get(size, "no limit", "type 1 + digest"), get(size, "no limit", "curl.exe (Wine)"), "")
        ratio("%d MiB limited: type 3 / aria2c -x2 -s2 goodput" % m,
              get(size, lim, "type 3 (two ranges)"), get(size, lim, "aria2c -x2 -s2"), "")
        ratio("%d MiB limited: aria2c -x2 -s2 / native curl goodput" % m,
              get(size, lim, "aria2c -x2 -s2"), get(size, lim, "curl (native)"), "reference")
        for name in ("type 1 (single stream)", "type 3 (two ranges)", "type 2 (system service)"):
            ratio("%d MiB no limit: %s / curl.exe peak memory" % (m, name.split(" (")[0]),
                  get(size, "no limit", name, 2), get(size, "no limit", "curl.exe (Wine)", 2), "<= 1.1")
    shutil.rmtree(out_dir, ignore_errors=True)
    if len(sizes) > 1:
        small, large = min(sizes), max(sizes)
        for name in ("type 1 (single stream)", "type 3 (two ranges)", "type 2 (system service)", "curl.exe (Wine)"):
            ratio("peak memory %d MiB / %d MiB: %s" % (large // MiB, small // MiB, name.split(" (")[0]),
                  get(large, "no limit", name, 2), get(small, "no limit", name, 2), "~1.0")
    ratio("MD5 of %d MiB: tvprobe md5 (after start-up) / md5sum" % (big // MiB), ours - startup, ref, "<= 1.1")


if __name__ == "__main__":
    sys.exit(main())
