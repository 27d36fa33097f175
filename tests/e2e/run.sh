#!/usr/bin/env bash
# Runs every end-to-end test of one win64 build folder: in a private network
# namespace with its own hosts file, on a composited Xvfb display, under the
# build's Wine prefix. A failed test runs once more (see runner.py).
# Extra arguments: -k PATTERN, as unittest's.
# Usage: run.sh <win64 build dir> [-k PATTERN]...
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
[ $# -ge 1 ] || { echo "usage: run.sh <win64 build dir> [-k PATTERN]..." >&2; exit 2; }
build=$(cd "$1" && pwd) || exit 2
shift
export CB_E2E_BUILD="$build"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
python3 "$here/httpserver.py" --write-hosts "$work/hosts"
# The prefix is set up here, once, outside any test's time limit.
(. "$root/scripts/wine-env.sh" "$build")
cd "$here"
"$here/netns-run.sh" "$work/hosts" "$root/scripts/xsession.sh" \
  python3 "$here/runner.py" "$@"
rc=$?
(. "$root/scripts/wine-env.sh" "$build" && wineserver -k) >/dev/null 2>&1
exit $rc
