#!/usr/bin/env bash
# The update descriptor fuzzer, each for a bounded time (seconds, default 60).
here=$(cd "$(dirname "$0")" && pwd)
exec "$here/../run-targets.sh" "${1:-60}" 8192 base fuzz_base_descriptor:"$here/corpus"
