#!/usr/bin/env bash
# A damaged picture in the payload: the error box, then the main window keeps its stored
# title and the language file stays unread, so the progress window takes the default.
source "$(dirname "$0")/lib.sh"

mkdir "$work/bin"
cp "$build/fwflash" "$work/bin/fwflash"
"$(dirname "$0")/damage-picture.py" "$work/bin/fwflash"
printf ' \n \n \n \nFlashen!\nFlash-Programm\nBitte warten...\n' >"$work/deflang.txt"
start_device --expect "$firmware" --baud-emulation  # the progress window stays for 11 s
start_program "$work/bin/fwflash"
id=$(wait_window fwflash)
screenshot error-box-damaged-picture
close_dialog "Bitmap image is not valid."
main=$(wait_window Mainform 10 FFFFFF)  # its stored colour
screenshot main-window-damaged-picture
press Return "$main"
wait_window "Flashing... Please Wait!" >/dev/null
wait_window Congratulation 30 >/dev/null
stop_program
device_result || fail "no firmware after the damaged picture"
