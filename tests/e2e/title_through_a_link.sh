#!/usr/bin/env bash
# Started through a link of another name, the program keeps its own file's title: the
# dialogs are captioned "fwflash", not after the link.
source "$(dirname "$0")/lib.sh"

ln -s "$build/fwflash" "$work/Other-Name.tool"
start_program "$work/Other-Name.tool"
main=$(wait_window "Firmware Flash Program")
press Return "$main"
xdotool search --sync --onlyvisible --name '^(fwflash|Other-name)$' >/dev/null 2>&1
! xdotool search --onlyvisible --name '^Other-name$' >/dev/null 2>&1 || fail "a dialog took the link's name"
close_dialog "Cannot open COM1 port!"
close_dialog "Cannot initialize com1, exit..."
expect_exit_code 0
