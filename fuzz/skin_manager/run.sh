#!/usr/bin/env bash
# The skin-core fuzzers, each for a bounded time (seconds, default 60).
here=$(cd "$(dirname "$0")" && pwd)
exec "$here/../run-targets.sh" "${1:-60}" 16384 skin_manager fuzz_skin_archive:"$here/corpus/fuzz_skin_archive" fuzz_skin_options:"$here/corpus/fuzz_skin_options" fuzz_skin_preview:"$here/corpus/fuzz_skin_preview"
