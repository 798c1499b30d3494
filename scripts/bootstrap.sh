#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the demo need, and the
# deb-src entries the dependency script fetches sources from. Idempotent: a
# second run installs nothing and touches no file.
set -euo pipefail

SUDO=""
if [ "$(id -u)" != 0 ]; then SUDO="sudo"; fi

PACKAGES=(
  # cross toolchain and build
  mingw-w64 cmake ninja-build dpkg-dev
  # run and test under Wine with a virtual display
  wine64 xvfb xauth xdotool imagemagick fonts-wqy-microhei
  # dependency sources and files taken from Debian
  libgtest-dev libstb-dev libz-mingw-w64-dev 7zip
  # loopback servers and reference tools of the tests and benchmarks
  nginx-light python3 curl aria2
)

# A deb-src line for every deb line, so `apt-get source` works.
SRC_LIST=/etc/apt/sources.list.d/transvera-deb-src.sources
need_update=0
if ! grep -rqs '^Types:.*deb-src' /etc/apt/sources.list.d/ && \
   ! grep -qs '^deb-src' /etc/apt/sources.list; then
  if [ -f /etc/apt/sources.list.d/debian.sources ]; then
    sed 's/^Types: deb$/Types: deb-src/' /etc/apt/sources.list.d/debian.sources \
      | $SUDO tee "$SRC_LIST" >/dev/null
  else
    grep '^deb ' /etc/apt/sources.list | sed 's/^deb /deb-src /' \
      | $SUDO tee /etc/apt/sources.list.d/transvera-deb-src.list >/dev/null
  fi
  need_update=1
fi

missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done

if [ "${#missing[@]}" -gt 0 ] || [ "$need_update" = 1 ]; then
  $SUDO apt-get update -qq
fi
if [ "${#missing[@]}" -gt 0 ]; then
  echo "bootstrap: installing ${missing[*]}"
  $SUDO env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
