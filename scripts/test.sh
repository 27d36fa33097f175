#!/usr/bin/env bash
# Sets everything up, builds all three builds and runs every test tier:
# unit (native), fuzz (bounded), Windows (Wine), end to end (Wine + Xvfb).
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
fuzz_seconds=${CB_FUZZ_SECONDS:-20}
# The gate fuzzes from a fixed seed so that a finding in CI replays here; longer
# runs with random seeds are the fuzz/*/run.sh scripts on their own.
export CB_FUZZ_SEED=${CB_FUZZ_SEED:-1}
failed=()
declare -A took
logs="$root/build/tier-logs"
mkdir -p "$logs"
tier() { # name, command...
  local name=$1; shift
  local t0=$SECONDS
  echo "=== $name"
  if "$@" 2>&1 | tee "$logs/$name.log"; [ "${PIPESTATUS[0]}" -eq 0 ]; then
    echo "=== $name: passed"
  else
    echo "=== $name: FAILED"; failed+=("$name")
  fi
  took[$name]=$((SECONDS - t0))
}

tier setup ./scripts/setup.sh
[ ${#failed[@]} -eq 0 ] || { echo "set-up failed"; exit 1; }
tier build-native ./scripts/build.sh native
tier build-win64 ./scripts/build.sh win64
tier build-win32 ./scripts/build.sh win32
tier build-fuzz ./scripts/build.sh fuzz

tier unit ctest --test-dir build/native -L unit --output-on-failure -j2

run_fuzz() {
  local rc=0
  for s in fuzz/*/run.sh; do
    [ -f "$s" ] || continue
    CB_FUZZ_BUILD="$root/build/fuzz" bash "$s" "$fuzz_seconds" || rc=1
  done
  # A finding is only worth something if it can be replayed elsewhere: print small inputs.
  local f
  for f in build/fuzz/fuzz-work/*/artifacts/*; do
    [ -f "$f" ] || continue
    echo "fuzz input $f ($(stat -c %s "$f") bytes):"
    [ "$(stat -c %s "$f")" -le 65536 ] && base64 -w0 "$f" && echo
  done
  return $rc
}
tier fuzz run_fuzz

# One composited X server for all Windows tests; Wine's own server is per prefix.
run_win() { ./scripts/xsession.sh ctest --test-dir build/win64 -L win --output-on-failure; }
tier windows run_win

run_e2e() { [ -x tests/e2e/run.sh ] || return 0; tests/e2e/run.sh "$root/build/win64"; }
tier e2e run_e2e

echo
echo "Tier times (s):"
for k in setup build-native build-win64 build-win32 build-fuzz unit fuzz windows e2e; do
  printf '  %-13s %s\n' "$k" "${took[$k]:-}"
done
echo "Total: ${SECONDS}s"
if [ ${#failed[@]} -gt 0 ]; then
  # The end of the output is what survives in CI's record: repeat what failed there.
  for k in "${failed[@]}"; do
    echo; echo "=== what $k printed last:"; tail -n 60 "$logs/$k.log"
  done
  echo "FAILED: ${failed[*]}"; exit 1
fi
echo "All tests passed."
