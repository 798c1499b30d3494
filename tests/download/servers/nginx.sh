#!/usr/bin/env bash
# The nginx server of the download tests, on free ports of 127.0.0.1:
#   nginx.sh start DIR   writes DIR/www (the served files), DIR/nginx.conf,
#                        a test CA and certificates, and DIR/server.env, then starts nginx
#   nginx.sh stop DIR    stops it
# server.env holds KEY=VALUE lines the tests read: the ports (plain HTTP,
# HTTPS with a certificate for 127.0.0.1, HTTPS with a certificate for another
# name), the MD5 of the package and a digest folder that is not its MD5.
set -euo pipefail
action=$1
dir=$2

stop() {
  if [ -f "$dir/nginx.pid" ]; then
    kill "$(cat "$dir/nginx.pid")" 2>/dev/null || true
    for _ in $(seq 50); do [ -f "$dir/nginx.pid" ] || break; sleep 0.1; done
    rm -f "$dir/nginx.pid"
  fi
}

free_port() {
  python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1]); s.close()'
}

if [ "$action" = stop ]; then
  stop
  exit 0
fi

stop
rm -rf "$dir"
mkdir -p "$dir/www/files" "$dir/www/pkg" "$dir/tmp" "$dir/tls"
cd "$dir"

# The package: 3 MiB of random bytes, served under its MD5 (and under wrong
# and upper-case digests), and reachable through a redirect.
head -c 3145728 /dev/urandom > www/files/package.exe
md5=$(md5sum www/files/package.exe | cut -c1-32)
upper=$(tr 'a-f' 'A-F' <<<"$md5")
other=$(md5sum <<<"something else" | cut -c1-32)
for d in "$md5" "$upper" "$other"; do
  mkdir -p "www/pkg/$d"
  ln -f www/files/package.exe "www/pkg/$d/package.exe"
done
head -c 921600 /dev/urandom > www/files/small-900k.bin
head -c 1048576 /dev/urandom > www/files/exactly-1m.bin
# A name the system downloader must percent-encode: blank becomes "+".
cp www/files/exactly-1m.bin "www/files/中文+包.bin"

# Test CA, a certificate for 127.0.0.1 and one for another host name.
(
  cd tls
  openssl req -x509 -newkey rsa:2048 -nodes -days 30 -subj "/CN=Transvera Test CA" \
    -keyout ca.key -out ca.pem 2>/dev/null
  for name in good wrong; do
    if [ $name = good ]; then cn=localhost; san="DNS:localhost,IP:127.0.0.1"; else cn=wrong.example; san="DNS:wrong.example"; fi
    openssl req -newkey rsa:2048 -nodes -subj "/CN=$cn" -keyout $name.key -out $name.csr 2>/dev/null
    printf 'subjectAltName=%s\nbasicConstraints=CA:FALSE\nkeyUsage=digitalSignature,keyEncipherment\nextendedKeyUsage=serverAuth\n' "$san" > $name.ext
    openssl x509 -req -in $name.csr -CA ca.pem -CAkey ca.key -CAcreateserial -days 30 -extfile $name.ext \
      -out $name.pem 2>/dev/null
  done
)

for attempt in 1 2 3 4 5; do
  http=$(free_port); https=$(free_port); wrong=$(free_port)
  cat > nginx.conf <<CONF
worker_processes 1;
error_log $dir/error.log;
pid $dir/nginx.pid;
events { worker_connections 256; }
http {
  access_log $dir/access.log;
  client_body_temp_path $dir/tmp; proxy_temp_path $dir/tmp; fastcgi_temp_path $dir/tmp;
  uwsgi_temp_path $dir/tmp; scgi_temp_path $dir/tmp;
  types { application/octet-stream exe bin; }
  default_type application/octet-stream;
  server {
    listen 127.0.0.1:$http;
    root $dir/www;
    location = /redirect/package.exe { return 302 http://127.0.0.1:$http/pkg/$md5/package.exe; }
  }
  server {
    listen 127.0.0.1:$https ssl;
    ssl_certificate $dir/tls/good.pem;
    ssl_certificate_key $dir/tls/good.key;
    root $dir/www;
  }
  server {
    listen 127.0.0.1:$wrong ssl;
    ssl_certificate $dir/tls/wrong.pem;
    ssl_certificate_key $dir/tls/wrong.key;
    root $dir/www;
  }
}
CONF
  if nginx -c "$dir/nginx.conf" -p "$dir" 2>>"$dir/start.log"; then
    for _ in $(seq 50); do [ -s "$dir/nginx.pid" ] && break; sleep 0.1; done
    cat > server.env <<ENV
HTTP_PORT=$http
HTTPS_PORT=$https
WRONG_NAME_PORT=$wrong
PACKAGE_MD5=$md5
WRONG_MD5=$other
ENV
    exit 0
  fi
done
echo "nginx.sh: nginx did not start (see $dir/start.log)" >&2
exit 1
