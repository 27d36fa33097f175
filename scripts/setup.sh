#!/usr/bin/env bash
# Idempotent set-up of a fresh Debian 12 machine: packages by name, then the
# MinGW builds of libpng and libjpeg-turbo from Debian's source packages.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
sudo=""; [ "$(id -u)" = 0 ] || sudo="sudo"

packages=(
  build-essential cmake ninja-build pkg-config dpkg-dev python3 ccache
  g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix mingw-w64-tools binutils-mingw-w64
  libz-mingw-w64-dev
  wine wine64 xvfb xcompmgr xdotool x11-utils imagemagick iproute2
  fonts-wqy-microhei fonts-font-awesome fonts-dejavu-core fonts-wine
  zlib1g-dev libpng-dev libjpeg62-turbo-dev libpixman-1-dev
  googletest libgtest-dev libgmock-dev libbenchmark-dev
  clang libclang-rt-14-dev
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed" || missing+=("$p")
done
# 32-bit x86 cannot run here and a wine32 would shadow the 64-bit loader.
if dpkg --print-foreign-architectures | grep -q i386; then
  echo "setup: the i386 architecture is enabled; remove it (wine32 must not be installed)" >&2
fi
if [ ${#missing[@]} -gt 0 ]; then
  export DEBIAN_FRONTEND=noninteractive
  $sudo apt-get update -qq
  $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# Debian source packages for the cross-built image libraries.
if ! grep -rqs "deb-src" /etc/apt/sources.list /etc/apt/sources.list.d/; then
  $sudo tee /etc/apt/sources.list.d/clearbay-src.sources >/dev/null <<SRC
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: bookworm
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
SRC
  $sudo apt-get update -qq
fi

deps="$here/.deps"
mkdir -p "$deps/src"
fetch() { # package, glob of the unpacked folder
  local dir
  dir=$(ls -d "$deps/src/"$2 2>/dev/null | head -n1 || true)
  if [ -z "$dir" ]; then
    (cd "$deps/src" && apt-get source -qq "$1" >/dev/null 2>&1)
    dir=$(ls -d "$deps/src/"$2 | head -n1)
  fi
  echo "$dir"
}

for triple in x86_64-w64-mingw32 i686-w64-mingw32; do
  prefix="$deps/$triple"
  [ -f "$prefix/.done" ] && continue
  tc="$here/cmake/toolchain-$triple.cmake"
  mkdir -p "$prefix/lib" "$prefix/include"
  # zlib from Debian's MinGW package, copied so that the prefix is complete.
  cp -f "/usr/$triple/lib/libz.a" "$prefix/lib/" 2>/dev/null || cp -f /usr/"$triple"/lib/libz*.a "$prefix/lib/"
  cp -f "/usr/$triple/include/zlib.h" "/usr/$triple/include/zconf.h" "$prefix/include/"

  png=$(fetch libpng1.6 'libpng1.6-*/')
  rm -rf "$deps/build/png-$triple"
  cmake -S "$png" -B "$deps/build/png-$triple" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$tc" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" -DPNG_SHARED=OFF -DPNG_TESTS=OFF \
    -DPNG_EXECUTABLES=OFF -DZLIB_LIBRARY="$prefix/lib/libz.a" -DZLIB_INCLUDE_DIR="$prefix/include" \
    -DCMAKE_POLICY_DEFAULT_CMP0074=NEW -DSKIP_INSTALL_EXECUTABLES=ON -DSKIP_INSTALL_PROGRAMS=ON >/dev/null
  cmake --build "$deps/build/png-$triple" -j2 >/dev/null
  cmake --install "$deps/build/png-$triple" >/dev/null

  jpg=$(fetch libjpeg-turbo 'libjpeg-turbo-*/')
  rm -rf "$deps/build/jpeg-$triple"
  cmake -S "$jpg" -B "$deps/build/jpeg-$triple" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$tc" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" -DENABLE_SHARED=OFF -DWITH_SIMD=OFF \
    -DWITH_TURBOJPEG=OFF -DWITH_JAVA=OFF >/dev/null
  cmake --build "$deps/build/jpeg-$triple" -j2 >/dev/null
  cmake --install "$deps/build/jpeg-$triple" >/dev/null
  touch "$prefix/.done"
done
echo "setup: done"
