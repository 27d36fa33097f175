#!/usr/bin/env bash
# Usage: bench/controls/run.sh <win64 build dir>
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=$(cd "$1" && pwd)
exec "$root/scripts/xsession.sh" bash -c ". '$root/scripts/wine-env.sh' '$build' && wine '$build/bin/bench_controls.exe'"
