#!/usr/bin/env bash
# fwflash-cli on a terminal (tmux): a live progress line per station while they flash;
# at the end the result lines and the summary stand alone, the live lines are gone.
set -euo pipefail
build=${FWFLASH_BUILD_DIR:?FWFLASH_BUILD_DIR names the build directory}
work=$(mktemp -d)
session=fwflash-cli-$$
pids=()
trap 'tmux kill-session -t "$session" 2>/dev/null || true; kill "${pids[@]}" 2>/dev/null || true
      wait 2>/dev/null || true; rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; tmux capture-pane -p -t "$session" 2>/dev/null || true; exit 1; }

head -c 300 /dev/urandom >"$work/image"
for i in 1 2; do
  "$build/fwflash-vdev" --link "$work/p$i" --size 300 --baud-emulation --quiet >/dev/null &
  pids+=($!)
done
for i in 1 2; do
  for _ in $(seq 100); do [ -e "$work/p$i" ] && break; sleep 0.05; done
done

tmux new-session -d -s "$session" -x 150 -y 20 \
  "'$build/fwflash-cli' --port '$work/p1' --port '$work/p2' --firmware '$work/image'; echo exit=\$?; sleep 600"
screen() { tmux capture-pane -p -t "$session"; }
# wait_screen PATTERN: until the terminal shows a line matching it.
wait_screen() {
  local deadline=$((SECONDS + 30))
  until screen | grep -qE "$1"; do
    [ $SECONDS -lt $deadline ] || fail "the terminal never showed \"$1\""
    sleep 0.05
  done
}

wait_screen "^$work/p1: [0-9]+ %$"
wait_screen "^$work/p2: [0-9]+ %$"
wait_screen '^exit='
lines=$(screen | grep -v '^$')
expected_tail=$(printf '%s\n' "summary: 2 passed, 0 failed ($work/p1: 1 passed, 0 failed; $work/p2: 1 passed, 0 failed)" 'exit=0')
[ "$(tail -n 2 <<<"$lines")" = "$expected_tail" ] || fail "the run did not end with its summary"
[ "$(grep -c -E "^$work/p[12]: ok, 300 bytes in [0-9.]+ s$" <<<"$lines")" = 2 ] || fail "no result line per station"
! grep -qE ' %$' <<<"$lines" || fail "a live progress line was left behind"
[ "$(wc -l <<<"$lines")" = 4 ] || fail "stray lines on the terminal"
echo "live lines while flashing, results and summary alone at the end"
