#!/usr/bin/env bash
# Stops the Xvfb server of display $1 (":N") started by start-xvfb.sh.
n=${1#:}
[ -f /tmp/.X$n-lock ] && kill "$(tr -d ' ' </tmp/.X$n-lock)" 2>/dev/null
exit 0
