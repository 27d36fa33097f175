#!/usr/bin/env bash
# Runs fuzz targets of one fuzz folder, each for a bounded time, and fails on
# any finding. New inputs go to a scratch corpus in the build, so the seeds in
# the tree stay small. Uses the fuzz build in $CB_FUZZ_BUILD when given, else
# configures and builds its own (clang, CB_FUZZ=ON) in build/fuzz-local.
# Usage: run-targets.sh <seconds> <max input bytes> <folder> <target>[:<seed dir>...]...
set -euo pipefail
seconds=$1 max_len=$2 folder=$3
shift 3
root=$(cd "$(dirname "$0")/.." && pwd)
build=${CB_FUZZ_BUILD:-$root/build/fuzz-local}
targets=()
for entry in "$@"; do targets+=("${entry%%:*}"); done

if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S "${CB_SOURCE_DIR:-$root}" -B "$build" -G Ninja -DCB_FUZZ=ON \
    -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ >/dev/null
fi
cmake --build "$build" --target "${targets[@]}" -j2 >/dev/null

status=0
for entry in "$@"; do
  target=${entry%%:*}
  seeds=()
  [ "$entry" = "$target" ] || IFS=: read -r -a seeds <<<"${entry#*:}"
  work="$build/fuzz-work/$target"
  mkdir -p "$work/corpus" "$work/artifacts"
  log="$work/fuzz.log"
  echo "fuzz $target: ${seconds}s"
  if ! "$build/fuzz/$folder/$target" "$work/corpus" "${seeds[@]}" \
        -max_total_time="$seconds" ${CB_FUZZ_SEED:+-seed=$CB_FUZZ_SEED} -max_len="$max_len" -timeout=10 \
        -rss_limit_mb=2048 -artifact_prefix="$work/artifacts/" -print_final_stats=1 >"$log" 2>&1; then
    echo "fuzz $target: FINDING (see $log and $work/artifacts)"
    tail -n 40 "$log"
    status=1
    continue
  fi
  grep -E "^stat::number_of_executed_units" "$log" | sed "s/^/fuzz $target: /" || true
done
exit $status
