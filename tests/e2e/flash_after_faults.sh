#!/usr/bin/env bash
# A device that does not answer the sync byte still gets the firmware; a device that
# stops at byte 100 leaves the main window usable, without a completion window, and a
# second press then downloads the firmware.
source "$(dirname "$0")/lib.sh"

start_device --fault sync=none --expect "$firmware"
start_program
main=$(wait_window "Firmware Flash Program")
press Return "$main"
close_dialog "Cannot read from comm port!"
wait_window Congratulation 30 >/dev/null
stop_program
device_result || fail "no firmware after a silent handshake"

start_device --fault request@101=none
start_program
main=$(wait_window "Firmware Flash Program")
press Return "$main"
close_dialog "Cannot read from comm port!" 15
sleep 0.5  # only to show that no completion window comes
! xdotool search --onlyvisible --name '^Congratulation$' >/dev/null || fail "completion window after a failed download"
screenshot main-window-after-failure
kill "$vdev_pid"; wait "$vdev_pid" 2>/dev/null || true
start_device --expect "$firmware"
press Return "$main"
wait_window Congratulation 30 >/dev/null
stop_program
device_result || fail "the second press did not download the firmware"
