#!/usr/bin/env bash
# Keys and clicks that reach the main window while a download blocks it are thrown away,
# as a disabled window throws them away: none of them starts a second download afterwards.
# The device stops at byte 1,000, so no completion window comes to take the focus.
source "$(dirname "$0")/lib.sh"

start_device --baud-emulation --fault request@1000=none --report "$work/report"
start_program
main=$(wait_window "Firmware Flash Program")
press Return "$main"
wait_window "Flashing... Please Wait!" >/dev/null
for _ in 1 2 3; do
  press Return "$main"
  xdotool mousemove --window "$main" 120 204 click 1
  sleep 0.3  # input spread over the transfer, as a person would press
done
close_dialog "Cannot read from comm port!" 20
sleep 2  # only to show that no second download starts
! xdotool search --onlyvisible --name '^(Flashing\.\.\. Please Wait!|fwflash)$' >/dev/null ||
  fail "a second download started"
[ "$(grep '^conversation=' "$work/report")" = conversation=1 ] ||
  fail "the device saw $(grep '^conversation=' "$work/report")"
