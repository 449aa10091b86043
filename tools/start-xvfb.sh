#!/usr/bin/env bash
# Starts an Xvfb server on a free display and prints its name (":N").
set -euo pipefail
for n in $(seq 90 130); do
  [ -e /tmp/.X$n-lock ] || [ -e /tmp/.X11-unix/X$n ] && continue
  Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
  for _ in $(seq 50); do
    xdpyinfo -display ":$n" >/dev/null 2>&1 && { echo ":$n"; exit 0; }
    sleep 0.1
  done
done
echo "start-xvfb: no display could be started" >&2
exit 1
