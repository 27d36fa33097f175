#!/usr/bin/env bash
# The run-errors fuzzer, each for a bounded time (seconds, default 60).
here=$(cd "$(dirname "$0")" && pwd)
exec "$here/../run-targets.sh" "${1:-60}" 8192 app fuzz_app_runerrors:"$here/corpus"
