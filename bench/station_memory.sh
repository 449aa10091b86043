#!/usr/bin/env bash
# One station in station mode serves DEVICES devices in a row (the virtual device's
# --replug 0: unplugged and plugged in again after each flash), a 4-byte image each.
# Prints the process's resident memory and open descriptors after 5, 50, 100 ... devices:
# they stay flat when nothing leaks.
#   bench/station_memory.sh [DEVICES]     (default 200; build/ built)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${FWFLASH_BUILD_DIR:-$root/build}
devices=${1:-200}
work=$(mktemp -d)
vdev_pid= cli_pid=
trap 'kill $cli_pid $vdev_pid 2>/dev/null || true; wait 2>/dev/null || true; rm -rf "$work"' EXIT

printf '\x80\xff\xa5\x5a' >"$work/image"
"$build/fwflash-vdev" --link "$work/port" --replug 0 --size 4 --report "$work/report" --quiet >/dev/null &
vdev_pid=$!
"$build/fwflash-cli" --port "$work/port" --firmware "$work/image" --wait >"$work/out" &
cli_pid=$!

complete() { sed -n 's/^complete_conversations=//p' "$work/report" 2>/dev/null || echo 0; }
start=$SECONDS
echo "devices  resident KiB  descriptors  seconds"
for mark in 5 50 100 150 200 300 500 1000; do
  [ "$mark" -le "$devices" ] || break
  until [ "$(complete)" -ge "$mark" ] 2>/dev/null; do
    kill -0 "$cli_pid" 2>/dev/null || { cat "$work/out"; exit 1; }
    sleep 0.05
  done
  rss=$(awk '/^VmRSS:/ { print $2 }' "/proc/$cli_pid/status")
  fds=$(ls "/proc/$cli_pid/fd" | wc -l)
  printf '%7d  %12s  %11s  %7d\n' "$mark" "$rss" "$fds" $((SECONDS - start))
done
