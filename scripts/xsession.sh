#!/usr/bin/env bash
# Runs a command on a fresh Xvfb with the Composite extension and a compositing
# manager, so layered windows blend as on Windows instead of over black.
set -uo pipefail
n=${CB_DISPLAY_NUM:-}
if [ -z "$n" ]; then
  for n in $(seq 90 150); do
    [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ] || break
  done
fi
Xvfb ":$n" -screen 0 ${CB_SCREEN:-1280x800x24} +extension Composite -noreset -nolisten tcp >/dev/null 2>&1 &
xpid=$!
for _ in $(seq 100); do [ -e "/tmp/.X11-unix/X$n" ] && break; sleep 0.05; done
export DISPLAY=":$n"
# A desktop session always loads X resources; without any, Wine reads the
# resource files again on every font selection, which no user's machine pays.
xprop -root -f RESOURCE_MANAGER 8s -set RESOURCE_MANAGER "*customization: -color" 2>/dev/null || true
xcompmgr >/dev/null 2>&1 &
cpid=$!
"$@"
rc=$?
kill "$cpid" "$xpid" 2>/dev/null
wait "$cpid" "$xpid" 2>/dev/null
exit $rc
