#!/usr/bin/env bash
# No language file: the English texts, a press downloads the embedded firmware byte for
# byte, the completion window follows, and "DONE!" ends the program with exit code 0.
source "$(dirname "$0")/lib.sh"

start_device --expect "$firmware"
start_program
main=$(wait_window "Firmware Flash Program")
screenshot main-window
press Return "$main"
done_window=$(wait_window Congratulation 30)
screenshot completion-window
press Return "$done_window"
expect_exit_code 0
device_result || fail "the device did not receive the firmware byte for byte"
