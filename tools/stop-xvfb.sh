#!/usr/bin/env bash
# Stops the Xvfb server of display $1 (":N") started by start-xvfb.sh.
n=${1#:}
pidfile=/tmp/fwflash-xvfb-$n.pid
[ -f "$pidfile" ] && kill "$(cat "$pidfile")" 2>/dev/null
rm -f "$pidfile"
exit 0
