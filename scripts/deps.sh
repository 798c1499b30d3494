#!/usr/bin/env bash
# Builds the third-party libraries for one Windows architecture from Debian
# source packages and caches them outside the clone, keyed by version:
#
#   $CACHE/src/<package>-<debian version>/     unpacked sources (shared)
#   $CACHE/<arch>/<package>-<debian version>/  installed static build
#
# A build counts only when its ".complete" stamp exists; anything else found
# under its name (an interrupted build) is removed and built again.
#
# usage: scripts/deps.sh win32|win64 OUT.cmake
# writes OUT.cmake with the paths the project's CMake reads.
set -euo pipefail

arch=${1:?usage: deps.sh win32|win64 OUT.cmake}
out=${2:?usage: deps.sh win32|win64 OUT.cmake}
case "$arch" in
  win32) triple=i686-w64-mingw32; toolchain=mingw-i686.cmake ;;
  win64) triple=x86_64-w64-mingw32; toolchain=mingw-x86_64.cmake ;;
  *) echo "deps.sh: unknown architecture $arch" >&2; exit 2 ;;
esac

here=$(cd "$(dirname "$0")/.." && pwd)
CACHE=${TRANSVERA_DEPS_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/transvera-deps}
jobs=$(nproc)
mkdir -p "$CACHE/src/download" "$CACHE/$arch"

# One deps run at a time per cache (the two architectures may share sources).
exec 9>"$CACHE/.lock"
flock 9

log() { echo "deps[$arch]: $*" >&2; }

# Version of a source package as apt would fetch it now.
source_version() {
  apt-cache showsrc "$1" 2>/dev/null | awk '/^Version:/ {print $2}' | sort -V | tail -n1
}

# Unpacks source package $1 into $CACHE/src/$1-<version>; prints that path.
fetch_source() {
  local pkg=$1 ver dir
  ver=$(source_version "$pkg")
  if [ -z "$ver" ]; then
    log "no source index for $pkg yet; updating apt lists"
    apt-get update -qq >&2 || sudo apt-get update -qq >&2
    ver=$(source_version "$pkg")
  fi
  [ -n "$ver" ] || { log "cannot find the source package $pkg (is a deb-src entry configured?)"; exit 1; }
  dir="$CACHE/src/$pkg-$ver"
  if [ ! -f "$dir/.complete" ]; then
    rm -rf "$dir"
    log "fetching source $pkg $ver"
    (cd "$CACHE/src/download" && apt-get source --download-only -qq "$pkg=$ver" >&2)
    local dsc
    dsc=$(ls "$CACHE/src/download/${pkg}_${ver#*:}.dsc")
    dpkg-source --no-check -x "$dsc" "$dir" >/dev/null
    touch "$dir/.complete"
  fi
  echo "$dir"
}

cmake_cross() {
  cmake -G Ninja -DCMAKE_TOOLCHAIN_FILE="$here/cmake/$toolchain" \
        -DCMAKE_BUILD_TYPE=Release "$@" >&2
}

# build_once NAME VERSION FUNCTION: runs FUNCTION PREFIX unless cached.
build_once() {
  local name=$1 ver=$2 fn=$3 prefix="$CACHE/$arch/$1-$2"
  if [ ! -f "$prefix/.complete" ]; then
    rm -rf "$prefix" "$prefix.build"
    log "building $name $ver"
    local t0=$SECONDS
    "$fn" "$prefix" "$prefix.build"
    rm -rf "$prefix.build"
    touch "$prefix/.complete"
    log "built $name $ver in $((SECONDS - t0)) s"
  fi
  echo "$prefix"
}

# ---- libcurl (static, Schannel, zlib; curl.exe too, for the benchmarks) ----
curl_src=$(fetch_source curl)
curl_ver=${curl_src##*/curl-}
build_curl() {
  cmake_cross -S "$curl_src" -B "$2" -DCMAKE_INSTALL_PREFIX="$1" \
    -DBUILD_SHARED_LIBS=OFF -DBUILD_CURL_EXE=ON -DBUILD_TESTING=OFF \
    -DCURL_USE_SCHANNEL=ON -DCURL_USE_OPENSSL=OFF -DCURL_ZLIB=ON \
    -DCURL_BROTLI=OFF -DCURL_ZSTD=OFF -DUSE_NGHTTP2=OFF -DUSE_LIBIDN2=OFF \
    -DCURL_USE_LIBSSH2=OFF -DCURL_USE_LIBSSH=OFF -DCURL_USE_GSSAPI=OFF \
    -DCURL_DISABLE_LDAP=ON -DCURL_DISABLE_LDAPS=ON \
    -DCURL_CA_BUNDLE=none -DCURL_CA_PATH=none \
    -DZLIB_LIBRARY="/usr/$triple/lib/libz.a" -DZLIB_INCLUDE_DIR="/usr/$triple/include" \
    -DCMAKE_EXE_LINKER_FLAGS="-static"
  cmake --build "$2" -j "$jobs" >&2
  cmake --install "$2" >&2
}
curl_prefix=$(build_once curl "$curl_ver" build_curl)

# ---- jsoncpp (static) ----
jsoncpp_src=$(fetch_source libjsoncpp)
jsoncpp_ver=${jsoncpp_src##*/libjsoncpp-}
build_jsoncpp() {
  cmake_cross -S "$jsoncpp_src" -B "$2" -DCMAKE_INSTALL_PREFIX="$1" \
    -DJSONCPP_WITH_TESTS=OFF -DJSONCPP_WITH_POST_BUILD_UNITTEST=OFF \
    -DJSONCPP_WITH_PKGCONFIG_SUPPORT=OFF -DJSONCPP_WITH_CMAKE_PACKAGE=OFF \
    -DBUILD_SHARED_LIBS=OFF -DBUILD_STATIC_LIBS=ON -DBUILD_OBJECT_LIBS=OFF
  cmake --build "$2" -j "$jobs" >&2
  cmake --install "$2" >&2
}
jsoncpp_prefix=$(build_once jsoncpp "$jsoncpp_ver" build_jsoncpp)

# ---- GoogleTest from libgtest-dev ----
gtest_ver=$(dpkg-query -W -f='${Version}' libgtest-dev)
build_gtest() {
  cmake_cross -S /usr/src/googletest -B "$2" -DCMAKE_INSTALL_PREFIX="$1" \
    -DBUILD_GMOCK=ON -DINSTALL_GTEST=ON -Dgtest_force_shared_crt=OFF
  cmake --build "$2" -j "$jobs" >&2
  cmake --install "$2" >&2
}
gtest_prefix=$(build_once googletest "$gtest_ver" build_gtest)

# ---- LZMA SDK 7z decoder: C files of the 7zip source, compiled by the project ----
sevenzip_src=$(fetch_source 7zip)

# ---- stb_image from libstb-dev: only its own folder is put on the include path ----
[ -f /usr/include/stb/stb_image.h ] || { log "missing /usr/include/stb/stb_image.h (libstb-dev)"; exit 1; }

mkdir -p "$(dirname "$out")"
cat > "$out.tmp" <<EOF
# Written by scripts/deps.sh; paths of the cached dependency builds.
set(TV_CURL_PREFIX "$curl_prefix")
set(TV_JSONCPP_PREFIX "$jsoncpp_prefix")
set(TV_GTEST_PREFIX "$gtest_prefix")
set(TV_LZMA_C_DIR "$sevenzip_src/C")
set(TV_STB_INCLUDE_DIR "/usr/include/stb")
EOF
mv "$out.tmp" "$out"
