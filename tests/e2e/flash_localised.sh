#!/usr/bin/env bash
# A language file that changes the button and window texts: every window shows them.
source "$(dirname "$0")/lib.sh"

printf ' \n \n \nDr\xfccken Sie auf Flash.\nFlashen!\nFlash-Programm\nBitte warten...\nGl\xfcckwunsch\n \nFERTIG!\n' >"$work/deflang.txt"
start_device --expect "$firmware" --baud-emulation
start_program
main=$(wait_window "Flash-Programm.?")  # a title keeps the line feed that ends its line
screenshot main-window-localised
press Return "$main"
wait_progress "$(wait_window "Bitte warten\.\.\..?")"
screenshot progress-window-localised
done_window=$(wait_window "Gl.+ckwunsch.?" 30)
# The file's Windows-1252 "ü" reaches the title as UTF-8.
xprop -id "$done_window" _NET_WM_NAME | grep -qF '"Glückwunsch\n"' || fail "title not in UTF-8"
screenshot completion-window-localised
press Return "$done_window"
expect_exit_code 0
device_result || fail "the device did not receive the firmware"
