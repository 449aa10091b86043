#!/usr/bin/env bash
# --port auto: of four candidates (two silent terminals, one held by another program, the
# virtual device) the device gets the firmware byte for byte, each silent one exactly one
# sync byte, the held one nothing. Without an answer, the program says what it says when
# COM1 does not open, and ends.
source "$(dirname "$0")/lib.sh"

"$source_dir/tests/e2e/bare-terminals.py" "$work" 3 >"$work/terminals" &
terminals_pid=$!
helper_pids="$helper_pids $terminals_pid"
for _ in $(seq 100); do [ "$(wc -l <"$work/terminals")" = 3 ] && break; sleep 0.05; done
mapfile -t terminal <"$work/terminals"
[ "${#terminal[@]}" = 3 ] || fail "no pseudo-terminals"
# Held as another serial program holds a port: open and locked.
(exec 9<>"${terminal[2]}" && flock 9 && exec sleep 600) >/dev/null 2>&1 &
helper_pids="$helper_pids $!"
for _ in $(seq 100); do fuser "${terminal[2]}" >/dev/null 2>&1 && break; sleep 0.05; done

# arrived I: what terminal I received, as hex bytes, once nothing more can come.
arrived() { od -An -tx1 "$work/arrived-$1" | tr -d ' \n'; }

echo "-- the device among four candidates"
port=$work/cable start_device --expect "$firmware"
export FWFLASH_AUTO_PORTS="${terminal[0]}:${terminal[2]}:$work/cable:${terminal[1]}"
start_program "$build/fwflash" --port auto
main=$(wait_window "Firmware Flash Program")
press Return "$main"
done_window=$(wait_window Congratulation 30)
press Return "$done_window"
expect_exit_code 0
device_result || fail "the device did not receive the firmware byte for byte"

echo "-- no answer"
export FWFLASH_AUTO_PORTS="${terminal[0]}"
start_program "$build/fwflash" --port auto
main=$(wait_window "Firmware Flash Program")
press Return "$main"
close_dialog "Cannot open COM1 port!"
close_dialog "Cannot initialize com1, exit..."
expect_exit_code 0

kill -TERM "$terminals_pid"
wait "$terminals_pid" || true
[ "$(arrived 0)" = a5a5 ] || fail "silent terminal 0 received $(arrived 0), not one sync per press"
[ "$(arrived 1)" = a5 ] || fail "silent terminal 1 received $(arrived 1), not one sync"
[ -z "$(arrived 2)" ] || fail "the held terminal received $(arrived 2)"
