#!/usr/bin/env bash
# Configures and builds one of the three builds: native, win64, win32 (or fuzz).
# Further arguments go to the build step (e.g. --target Clearbay).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
kind=$1; shift || true
dir="$root/build/$kind"
args=(-G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo)
# ccache, when present, shares objects between work trees of the same sources.
if command -v ccache >/dev/null; then
  export CCACHE_BASEDIR="$root" CCACHE_NOHASHDIR=true
  args+=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
native_args=("${args[@]}")
case "$kind" in
  native) ;;
  # The fuzz build is for the fuzzers alone and what they test.
  fuzz) args+=(-DCB_FUZZ=ON -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++
               "-DCB_DIRS=base;skin/paint;skin/manager;app;fuzz") ;;
  win64) args+=(-DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-x86_64-w64-mingw32.cmake") ;;
  win32) args+=(-DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-i686-w64-mingw32.cmake") ;;
  *) echo "build.sh: unknown build $kind" >&2; exit 2 ;;
esac
case "$kind" in
  win64|win32)
    # The built-in skin archive comes from native tools.
    cmake -S "$root" -B "$root/build/native" "${native_args[@]}" >/dev/null
    cmake --build "$root/build/native" -j2 --target metroui_skin >/dev/null ;;
esac
cmake -S "$root" -B "$dir" "${args[@]}" >/dev/null
cmake --build "$dir" -j2 "$@"
