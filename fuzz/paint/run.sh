#!/usr/bin/env bash
# The image-decoder fuzzers, each for a bounded time (seconds, default 60).
here=$(cd "$(dirname "$0")" && pwd)
exec "$here/../run-targets.sh" "${1:-60}" 65536 paint fuzz_paint_bmp:"$here/corpus/fuzz_paint_bmp" fuzz_paint_png:"$here/corpus/fuzz_paint_png" fuzz_paint_jpeg:"$here/corpus/fuzz_paint_jpeg"
