#!/usr/bin/env bash
# fwflash.exe end to end under Wine, driven like the Linux program in tests/e2e and with
# its helpers: a full flash, no port, a device that does not answer the sync, and a
# device that stops at byte 100 followed by a second press. Run by run-wine-tests.sh,
# which made the prefix and mapped COM1 to $FWFLASH_WINE_COM1.
source "$(dirname "$0")/../e2e/lib.sh"
source "$(dirname "$0")/wine_keys.sh"

port=${FWFLASH_WINE_COM1:?the path COM1 is mapped to}
shots=${FWFLASH_WINE_SHOTS:?where screenshots go}
exe=${FWFLASH_WINE_EXE:?fwflash.exe}

# COM1's path must always name something: for a COM1 whose path names nothing Wine opens
# the machine's /dev/ttyS0. Without a device it names an empty directory, which cannot be
# opened as a port, so the program meets a port that does not open.
detach_device() {
  if [ -n "$vdev_pid" ]; then kill "$vdev_pid" 2>/dev/null; wait "$vdev_pid" 2>/dev/null; vdev_pid=; fi
  rm -rf "$port"  # the link, or the empty directory
  mkdir "$port"
}
attach_device() {  # attach_device [vdev options...]
  rmdir "$port"
  start_device "$@"
}
expect_device_result() {  # the device started with --expect; it ends once the port is closed
  device_result || fail "$1"
  detach_device
}
trap 'stop_program; detach_device; cleanup' EXIT

stop_program() {
  [ -n "$program_pid" ] || return 0
  WINEDEBUG=-all wineserver -k 2>/dev/null  # ends the program and nothing outside the prefix
  wait "$program_pid" 2>/dev/null
  program_pid=
}
screenshot() { import -window root "$shots/$1.png"; }

echo "-- a full flash with the English texts"
detach_device
attach_device --expect "$firmware" --baud-emulation  # the progress window stays for 11 s
start_program wine "$exe"
main=$(wait_window "Firmware Flash Program" 30)
screenshot main-window
press_until Return "$main" "Flashing... Please Wait!"
progress=$(wait_window "Flashing... Please Wait!")
wait_progress "$progress"
screenshot progress-window
done_window=$(wait_window Congratulation 60)
screenshot completion-window
press Return "$done_window"
expect_exit_code 0 15
expect_device_result "the device did not receive the firmware byte for byte"

echo "-- no port"
start_program wine "$exe"
main=$(wait_window "Firmware Flash Program" 30)
press_until Return "$main" fwflash
wait_window fwflash >/dev/null
screenshot dialog-cannot-open
close_dialog "Cannot open COM1 port!"
close_dialog "Cannot initialize com1, exit..."
expect_exit_code 0 15
[ -d "$port" ] && [ -z "$(ls -A "$port")" ] || fail "something was written at the port's path"

echo "-- no answer to the sync"
attach_device --fault sync=none --expect "$firmware" --idle-ms 20000
start_program wine "$exe"
main=$(wait_window "Firmware Flash Program" 30)
press_until Return "$main" fwflash
close_dialog "Cannot read from comm port!"
done_window=$(wait_window Congratulation 60)
press Return "$done_window"
expect_exit_code 0 15
expect_device_result "no firmware after a silent handshake"

echo "-- the device stops at byte 100, a second press flashes"
attach_device --fault request@101=none
start_program wine "$exe"
main=$(wait_window "Firmware Flash Program" 30)
press_until Return "$main" fwflash
close_dialog "Cannot read from comm port!" 15
sleep 0.5  # only to show that no completion window comes
! xdotool search --onlyvisible --name '^Congratulation$' >/dev/null || fail "completion window after a failed download"
screenshot main-window-after-failure
detach_device
attach_device --expect "$firmware"
press Return "$main"
done_window=$(wait_window Congratulation 60)
press alt+F4 "$done_window"  # the completion window's close box only hides it
wait_gone Congratulation
sleep 0.5  # only to show that the program goes on
[ ! -s "$work/program.status" ] || fail "closing the completion window ended the program"
press alt+F4 "$main"  # the main window's ends the program
expect_exit_code 0 15
expect_device_result "the second press did not download the firmware"
echo "all scenarios passed"
