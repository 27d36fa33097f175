#!/usr/bin/env bash
# Runs each image-decoder fuzzer for a bounded time (seconds, default 60) on a
# scratch copy of its seed corpus; fails on any finding.
# Uses the fuzz build in $CB_FUZZ_BUILD (as the other run.sh do), else build/h2-fuzz:
#   CC=clang CXX=clang++ cmake -S . -B build/h2-fuzz -G Ninja -DCB_FUZZ=ON
#   cmake --build build/h2-fuzz --target fuzz_paint_bmp fuzz_paint_png fuzz_paint_jpeg
set -euo pipefail
seconds=${1:-60}
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
build=${CB_FUZZ_BUILD:-${FUZZ_BUILD:-$root/build/h2-fuzz}}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
status=0
for target in fuzz_paint_bmp fuzz_paint_png fuzz_paint_jpeg; do
  exe="$build/fuzz/paint/$target"
  if [ ! -x "$exe" ]; then
    echo "run.sh: $exe is missing; build the fuzz targets first" >&2
    exit 2
  fi
  mkdir -p "$work/$target" "$work/$target-findings"
  cp "$here/corpus/$target/"* "$work/$target/"
  echo "== $target for ${seconds}s"
  if ! "$exe" "$work/$target" -max_total_time="$seconds" ${CB_FUZZ_SEED:+-seed=$CB_FUZZ_SEED} -timeout=10 -rss_limit_mb=2048 \
       -max_len=65536 -print_final_stats=1 -artifact_prefix="$work/$target-findings/" \
       >"$work/$target.log" 2>&1; then
    status=1
    echo "run.sh: $target found a problem:" >&2
    tail -n 40 "$work/$target.log" >&2
    mkdir -p "$build/fuzz-findings"
    cp "$work/$target-findings/"* "$build/fuzz-findings/" 2>/dev/null || true
  fi
  grep -E '^stat::number_of_executed_units|^stat::peak_rss_mb' "$work/$target.log" || true
done
exit $status
