#!/usr/bin/env bash
# Sets everything up, builds, and starts Clearbay under Wine next to the
# PowerShell double, so its buttons do real work on a simulated package store.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
./scripts/setup.sh
./scripts/build.sh win32 --target Clearbay >/dev/null
./scripts/build.sh win64 --target Clearbay --target cb_psdouble >/dev/null

run="$root/build/run"
mkdir -p "$run"
cp -f build/win64/app/Clearbay.exe build/win64/tests/doubles/powershell.exe "$run/"
[ -f "$run/psdouble-state.ini" ] || python3 tests/e2e/psstore.py seed "$run"
echo "The 32-bit Clearbay.exe for Windows: $root/build/win32/app/Clearbay.exe"
echo "Running the 64-bit build under Wine; PowerShell calls go to the double:"
echo "  store $run/psdouble-state.ini, log $run/psdouble.log"
. scripts/wine-env.sh build/win64
if [ -z "${DISPLAY:-}" ]; then
  echo "No DISPLAY: starting on a private Xvfb; a screenshot is written to $run/screen.png"
  exec ./scripts/xsession.sh bash -c '
    cd "$1"; wine ./Clearbay.exe & pid=$!
    sleep 15; import -window root "$1/screen.png"; wait $pid' run "$run"
fi
cd "$run" && exec wine ./Clearbay.exe
