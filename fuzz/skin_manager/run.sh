#!/usr/bin/env bash
# Runs each skin-core fuzzer for a bounded time (seconds each, default 60) on a
# scratch corpus seeded from corpus/<target>; fails on any finding.
# Uses the fuzz build in $CB_FUZZ_BUILD when given, else configures and builds
# its own (clang, CB_FUZZ=ON) in build/h1-fuzz.
set -euo pipefail
seconds=${1:-60}
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
build=${CB_FUZZ_BUILD:-$root/build/h1-fuzz}
targets=(fuzz_skin_archive fuzz_skin_options fuzz_skin_preview)

if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S "${CB_SOURCE_DIR:-$root}" -B "$build" -G Ninja -DCB_FUZZ=ON \
    -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ >/dev/null
fi
cmake --build "$build" --target "${targets[@]}" -j2 >/dev/null

status=0
for target in "${targets[@]}"; do
  work="$build/fuzz-work/$target"
  mkdir -p "$work/corpus" "$work/artifacts"
  log="$work/fuzz.log"
  echo "fuzz $target: ${seconds}s"
  if ! "$build/fuzz/skin_manager/$target" "$work/corpus" "$here/corpus/$target" \
        -max_total_time="$seconds" ${CB_FUZZ_SEED:+-seed=$CB_FUZZ_SEED} -max_len=16384 -timeout=10 -rss_limit_mb=2048 \
        -artifact_prefix="$work/artifacts/" -print_final_stats=1 >"$log" 2>&1; then
    echo "fuzz $target: FINDING (see $log and $work/artifacts)"
    tail -n 40 "$log"
    status=1
    continue
  fi
  grep -E "^stat::number_of_executed_units" "$log" | sed "s/^/fuzz $target: /" || true
done
exit $status
