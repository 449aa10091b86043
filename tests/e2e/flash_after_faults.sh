#!/usr/bin/env bash
# A device that does not answer the sync byte still gets the firmware; a device that
# stops at byte 100 leaves the main window usable, without a completion window, and a
# second press then downloads the firmware.
source "$(dirname "$0")/lib.sh"

start_device --no-sync-answer --expect "$firmware"
start_program
main=$(wait_window "Firmware Flash Program")
press Return "$main"
close_dialog "Cannot read from comm port!"
wait_window Congratulation 30 >/dev/null
device_result || fail "no firmware after a silent handshake"
kill "$program_pid"; wait "$program_pid" 2>/dev/null || true; program_pid=

start_device --hang-up-at 100
start_program
main=$(wait_window "Firmware Flash Program")
press Return "$main"
close_dialog "Cannot read from comm port!" 15
close_dialog "0x$(xxd -s 100 -l 1 -p "$firmware" | tr a-f A-F) sent, but 0x00 received"
sleep 0.5
! xdotool search --onlyvisible --name '^Congratulation$' >/dev/null || fail "completion window after a failed download"
screenshot main-window-after-failure
kill "$vdev_pid"; wait "$vdev_pid" 2>/dev/null || true
start_device --expect "$firmware"
press Return "$main"
wait_window Congratulation 30 >/dev/null
device_result || fail "the second press did not download the firmware"
