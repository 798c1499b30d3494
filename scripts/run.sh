#!/usr/bin/env bash
# Builds the installer and runs a whole installation under wine64, in a Wine
# prefix of its own (build/win64/demo/wineprefix): the demo package is served
# by nginx on 127.0.0.1 under a URL whose last folder is its MD5, downloaded,
# verified and run silently, and the demo product lands in
# "C:\Program Files\Transvera" of that prefix.
#
# The installer's window comes with a later version; until then the
# installation runs headless through the installer's own engine
# (`tvprobe install`), which prints every status event as "<code> <value> <text>".
# Options are passed to it, e.g.  scripts/run.sh --type 3
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

bash scripts/build.sh win64
bin="$root/build/win64/bin"
demo="$root/build/win64/demo"
mkdir -p "$demo/www" "$demo/tmp"
# shellcheck source=../tests/support/wine-env.sh
. tests/support/wine-env.sh
tv_wine_setup "$demo"

md5=$(md5sum "$bin/demo-package.exe" | cut -c1-32)
rm -rf "$demo/www/software"
mkdir -p "$demo/www/software/$md5"
cp "$bin/demo-package.exe" "$demo/www/software/$md5/TransveraPackage.exe"
port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1]); s.close()')
cat > "$demo/nginx.conf" <<CONF
worker_processes 1;
error_log $demo/nginx-error.log;
pid $demo/nginx.pid;
events { worker_connections 64; }
http {
  access_log $demo/nginx-access.log;
  client_body_temp_path $demo/tmp; proxy_temp_path $demo/tmp; fastcgi_temp_path $demo/tmp;
  uwsgi_temp_path $demo/tmp; scgi_temp_path $demo/tmp;
  default_type application/octet-stream;
  server { listen 127.0.0.1:$port; root $demo/www; }
}
CONF
nginx -c "$demo/nginx.conf" -p "$demo"
trap 'kill "$(cat "$demo/nginx.pid")" 2>/dev/null || true; tv_wine_teardown "$demo"' EXIT

url="http://127.0.0.1:$port/software/$md5/TransveraPackage.exe"
folder='C:\Program Files\Transvera'
echo "== installing from $url into $folder"
set +e
"$TV_WINE" "$bin/tvprobe.exe" install --url "$url" --dir "$folder" "$@"
code=$?
set -e
installed="$WINEPREFIX/drive_c/Program Files/Transvera"
if [ "$code" = 0 ]; then
  echo "== installed: the product landed in $folder"
  echo "   (on this machine: $installed)"
  ls -l "$installed"
else
  echo "== the installation failed (tvprobe install exited with $code)"
fi
exit "$code"
