#!/usr/bin/env bash
# Start-up of Clearbay (update check answered "no network": no network at all
# in a private namespace) against a minimal Win32 program, in the same run.
# Usage: bench/startup/run.sh <win64 build dir> [runs]
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=$(cd "$1" && pwd)
runs=${2:-7}
work="$build/bench-startup"
mkdir -p "$work"
cp -f "$build/app/Clearbay.exe" "$build/bin/minimal_window.exe" "$build/bin/startup_launcher.exe" "$work/"
measure() {
  . "$root/scripts/wine-env.sh" "$build"
  cd "$work"
  wineboot >/dev/null 2>&1 || true
  floor=$(wine ./startup_launcher.exe "$runs" minimal_window.exe)
  app=$(wine ./startup_launcher.exe "$runs" Clearbay.exe)
  wineserver -k 2>/dev/null || true
  echo "minimal window: ${floor} ms (median of $runs)"
  echo "Clearbay:       ${app} ms (median of $runs)"
  python3 -c "print('ratio: %.2f' % ($app / $floor))"
}
export -f measure; export root build work runs
exec unshare --net -- "$root/scripts/xsession.sh" bash -c measure
