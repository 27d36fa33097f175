#!/usr/bin/env bash
# Runs a Windows program of a MinGW build under Wine, with the build folder's
# private prefix and, when there is no display yet, a composited Xvfb of its own.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
exe=$1
dir=$(cd "$(dirname "$exe")" && pwd)
while [ "$dir" != / ] && [ ! -f "$dir/CMakeCache.txt" ]; do dir=$(dirname "$dir"); done
[ -f "$dir/CMakeCache.txt" ] || { echo "wine-run: no build folder above $exe" >&2; exit 2; }
. "$here/wine-env.sh" "$dir"
if [ -z "${DISPLAY:-}" ]; then
  # Wine's desktop process must go before the X server it talks to.
  exec "$here/xsession.sh" bash -c 'wine "$@"; rc=$?; wineserver -k 2>/dev/null; exit $rc' wine-run "$@"
fi
exec wine "$@"
