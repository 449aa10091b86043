#!/usr/bin/env bash
# No device at COM1's path: two dialogs, then the program ends with exit code 0, and
# nothing was written anywhere (the path still does not exist).
source "$(dirname "$0")/lib.sh"

start_program
main=$(wait_window "Firmware Flash Program")
press Return "$main"
id=$(wait_window fwflash)
screenshot dialog-cannot-open
close_dialog "Cannot open COM1 port!"
close_dialog "Cannot initialize com1, exit..."
expect_exit_code 0
[ ! -e "$port" ] || fail "something was created at the port's path"
