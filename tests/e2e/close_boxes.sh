#!/usr/bin/env bash
# The completion window's close box only hides it; the main window's ends the program
# with exit code 0, even while the completion window is visible.
source "$(dirname "$0")/lib.sh"

start_device
start_program
main=$(wait_window "Firmware Flash Program")
press Return "$main"
done_window=$(wait_window Congratulation 30)
close "$done_window"
wait_gone Congratulation
kill -0 "$program_pid" || fail "closing the completion window ended the program"
press Return "$main"
wait_window Congratulation 30 >/dev/null
close "$main"
expect_exit_code 0
