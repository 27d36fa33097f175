#!/usr/bin/env bash
# Start-up of Clearbay (update check answered "no network": no network at all
# in a private namespace) against a minimal Win32 program, in the same run;
# also against the same program importing the system libraries Clearbay
# imports at load time, and with Clearbay stripped as it ships (the test build
# keeps its debug information in a file beside it, so the two should match); then the
# stripped program's start-up step by step, from its own marks.
# Usage: bench/startup/run.sh <win64 build dir> [runs]
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=$(cd "$1" && pwd)
runs=${2:-7}
work="$build/bench-startup"
mkdir -p "$work"
cp -f "$build/app/Clearbay.exe" "$build/bin/minimal_window.exe" "$build/bin/imports_window.exe" \
  "$build/bin/startup_launcher.exe" "$work/"
cp -f "$work/Clearbay.exe" "$work/Clearbay_stripped.exe"
x86_64-w64-mingw32-strip "$work/Clearbay_stripped.exe"
measure() {
  . "$root/scripts/wine-env.sh" "$build"
  cd "$work"
  wineboot >/dev/null 2>&1 || true
  # Warm: the first starts after wineboot pay for what later ones find loaded.
  wine ./startup_launcher.exe 3 minimal_window.exe >/dev/null
  wine ./startup_launcher.exe 3 Clearbay_stripped.exe >/dev/null
  floor=$(wine ./startup_launcher.exe "$runs" minimal_window.exe)
  imports=$(wine ./startup_launcher.exe "$runs" imports_window.exe)
  app=$(wine ./startup_launcher.exe "$runs" Clearbay.exe)
  stripped=$(wine ./startup_launcher.exe "$runs" Clearbay_stripped.exe)
  wine ./startup_launcher.exe --trace trace.txt "$runs" Clearbay_stripped.exe >/dev/null
  wineserver -k 2>/dev/null || true
  echo "minimal window:             ${floor} ms (median of $runs)"
  echo "minimal window, same DLLs:  ${imports} ms"
  echo "Clearbay:                   ${app} ms"
  echo "Clearbay, stripped:         ${stripped} ms"
  python3 -c "print('ratio: %.2f; stripped %.2f; stripped against the same DLLs %.2f' % ($app / $floor, $stripped / $floor, $stripped / $imports))"
  echo "Clearbay, stripped, step by step (marks of CB_STARTUP_TRACE):"
  python3 "$root/bench/startup/breakdown.py" "$work/trace.txt"
}
export -f measure; export root build work runs
exec unshare --net -- "$root/scripts/xsession.sh" bash -c measure
