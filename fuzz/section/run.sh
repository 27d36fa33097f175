#!/usr/bin/env bash
# The section-painter fuzzer, seeded with its corpus and regressions, each for a bounded time (seconds, default 60).
here=$(cd "$(dirname "$0")" && pwd)
exec "$here/../run-targets.sh" "${1:-60}" 16384 section fuzz_section_paint:"$here/corpus/fuzz_section_paint":"$here/regressions"
