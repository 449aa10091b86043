#!/usr/bin/env bash
# Starts an Xvfb server on a display that no other server uses and prints its name
# (":N"). Xvfb picks the number itself, so servers started at the same time never clash.
set -euo pipefail
fifo=$(mktemp -u)
mkfifo "$fifo"
# -noreset: a server without it resets when its last client leaves, and refuses
# connections meanwhile, which fails a test that connects at that moment.
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset 3>"$fifo" >/dev/null 2>&1 &
read -r -t 10 n <"$fifo" || { rm -f "$fifo"; echo "start-xvfb: Xvfb did not start" >&2; exit 1; }
rm -f "$fifo"
# Who serves the display, for stop-xvfb.sh: this Xvfb writes no lock file.
echo $! >"/tmp/fwflash-xvfb-$n.pid"
echo ":$n"
