#!/usr/bin/env bash
# Devices that answer with random bytes or fall silent at random points: every one of
# COUNT conversations ends with exactly one result line, exit code 0 or 1, within its
# time-outs. tests/cli/random_devices.sh [COUNT [SEED]] (CTest runs a few; 1000 at length).
set -euo pipefail
build=${FWFLASH_BUILD_DIR:?FWFLASH_BUILD_DIR names the build directory}
count=${1:-1000} seed=${2:-$RANDOM}
work=$(mktemp -d)
vdev_pid=
trap 'kill $vdev_pid 2>/dev/null || true; wait 2>/dev/null || true; rm -rf "$work"' EXIT

head -c 64 /dev/urandom >"$work/image"
"$build/fwflash-vdev" --link "$work/port" --random "$seed" --size 64 --quiet >/dev/null &
vdev_pid=$!
for _ in $(seq 100); do [ -e "$work/port" ] && break; sleep 0.05; done
[ -e "$work/port" ] || { echo "FAIL: the virtual device did not start"; exit 1; }

ok=0 failed=0
for n in $(seq "$count"); do
  status=0
  # One silent read of 2 s at most, and the 100 ms of the sync: 10 s is far beyond.
  timeout 10 "$build/fwflash-cli" --port "$work/port" --firmware "$work/image" >"$work/out" 2>&1 ||
    status=$?
  results=$(grep -c -E "^$work/port: (ok, 64 bytes in |failed at byte [0-9]+ of 64: .)" "$work/out" || true)
  if [ "$status" -gt 1 ] || [ "$results" != 1 ]; then
    echo "FAIL: conversation $n (seed $seed) exited $status with $results result lines:"
    cat "$work/out"
    exit 1
  fi
  [ "$status" = 0 ] && ok=$((ok + 1)) || failed=$((failed + 1))
done
echo "$count conversations (seed $seed): $ok flashed, $failed failed, each with one result line"
