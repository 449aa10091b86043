#!/usr/bin/env bash
# fwflash-cli flashes the reference bootloader on an emulated ATmega2560
# (qemu-system-avr -machine mega2560), USART0 on a pseudo-terminal, the device pacing its
# characters at 9600 baud. The device reports the state it finds at every reset on
# USART1 (a file here): after each flash, the length and CRC-32 of what it received and
# read back, which must be the application's. Then a refused image, and a second flash
# in the same QEMU run, all in the first protocol; last a flash under auto, which the
# device's slow answer to the probe may take either way.
source "$(dirname "$0")/avr_qemu_lib.sh"

# flash IMAGE STATUS [PROTOCOL]: fwflash-cli's run must end with STATUS.
flash() {
  local status=0
  "$build/fwflash-cli" --port "$pty" --firmware "$1" --protocol "${3:-1}" >"$work/cli.out" 2>&1 || status=$?
  cat "$work/cli.out"
  [ "$status" -eq "$2" ] || { echo "FAIL: fwflash-cli ended with $status, not $2" >&2; exit 1; }
}

start_qemu "$build/build-avr"

"$python" -c 'import sys; sys.stdout.buffer.write(bytes((i * 7 + 3) & 255 for i in range(300)))' >"$work/first.app"
"$python" -c 'import sys; sys.stdout.buffer.write(bytes((i * 13 + 5) & 255 for i in range(500)))' >"$work/second.app"
"$build/fwflash-boot-image" "$work/first.app" "$work/first.img"
"$build/fwflash-boot-image" "$work/second.app" "$work/second.img"

flash "$work/first.img" 0
first=$(state_of "$work/first.app")
await "$work/report" "$first"

flash "$work/second.app" 1  # no header: refused before anything is erased
await "$work/report" "$first" 2

flash "$work/second.img" 0
await "$work/report" "$(state_of "$work/second.app")"

flash "$work/first.img" 0 auto
await "$work/report" "$first" 3  # the device's third report of the first application
[ "$(grep -cF -- "$first" "$work/report")" -eq 3 ] || { echo "FAIL: more than three '$first' reports" >&2; exit 1; }
echo "device reports:"
cat "$work/report"
