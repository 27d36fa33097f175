#!/usr/bin/env bash
# Runs a command in a private network and mount namespace: only the loopback
# interface, and the given hosts file bind-mounted over /etc/hosts, so the
# program's fixed host names reach a loopback server without touching the
# machine. Names the file does not map do not resolve (no network).
# Usage: netns-run.sh <hosts file> <command> [args...]
set -euo pipefail
[ $# -ge 2 ] || { echo "usage: netns-run.sh <hosts file> <command> [args...]" >&2; exit 2; }
hosts=$(realpath "$1"); shift
userns=()
[ "$(id -u)" = 0 ] || userns=(--user --map-root-user)
exec unshare "${userns[@]}" --net --mount --propagation private -- bash -c '
  set -e
  hosts=$1; shift
  ip link set lo up
  mount --bind "$hosts" /etc/hosts
  # Tests may rewrite this file in place to change what resolves.
  export CB_E2E_NETNS=1 CB_E2E_HOSTS="$hosts"
  exec "$@"' netns-run "$hosts" "$@"
