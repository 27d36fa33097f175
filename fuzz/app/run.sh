#!/usr/bin/env bash
# Runs the run-errors fuzzer for a bounded time (seconds, default 60); fails on any
# finding. Uses the fuzz build in $CB_FUZZ_BUILD when given, else configures and
# builds its own (clang, CB_FUZZ=ON) in build/h5-fuzz.
set -euo pipefail
seconds=${1:-60}
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
build=${CB_FUZZ_BUILD:-$root/build/h5-fuzz}
target=fuzz_app_runerrors

if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S "${CB_SOURCE_DIR:-$root}" -B "$build" -G Ninja -DCB_FUZZ=ON \
    -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ >/dev/null
fi
cmake --build "$build" --target "$target" -j2 >/dev/null

# New inputs go to a scratch corpus so the seeds in the tree stay small.
work="$build/fuzz-work/$target"
mkdir -p "$work/corpus" "$work/artifacts"
log="$work/fuzz.log"
echo "fuzz $target: ${seconds}s"
if ! "$build/fuzz/app/$target" "$work/corpus" "$here/corpus" \
      -max_total_time="$seconds" ${CB_FUZZ_SEED:+-seed=$CB_FUZZ_SEED} -max_len=8192 -timeout=10 -rss_limit_mb=2048 \
      -artifact_prefix="$work/artifacts/" -print_final_stats=1 >"$log" 2>&1; then
  echo "fuzz $target: FINDING (see $log and $work/artifacts)"
  tail -n 40 "$log"
  exit 1
fi
grep -E "^stat::number_of_executed_units|^Done" "$log" | sed "s/^/fuzz $target: /" || true
