#!/usr/bin/env bash
# The nRF51822 port built with the vendor's key, on QEMU's microbit, whose NVMC really
# erases and programs the flash. fwflash-cli flashes a signed image byte for byte: valid
# with its version and counter after the reset, and started. Then images refused before
# anything is erased (another key's, a lower counter): the old application still valid
# and started. Then a changed body: no record, the counter as it was, nothing started;
# a good image flashes after it, in frames (fwflash-cli --protocol 2).
source "$(dirname "$0")/nrf51_qemu_lib.sh"

signed_image first 1.0.0 2
signed_image stranger 1.1.0 2 other
signed_image older 0.9.0 1
signed_image changed 1.1.0 3
"$python" -c 'import sys  # a byte of the application changed after signing
image = bytearray(open(sys.argv[1], "rb").read()); image[-100] ^= 0x01
open(sys.argv[1], "wb").write(image)' "$work/changed.img"
signed_image second 1.2.0 3

start_nrf51 "$boot_elf"
expect '{"valid":false,"counter":0}'
flash first 0
first=$(state_of "$work/first.app" 1.0.0 2)
expect "$first" "$started" "$running"

for refused in stranger older; do
  flash "$refused" 1  # the probe resets the application: its bootloader's window
  expect "$first" "$first" "$started" "$running"
done

flash changed 1
expect "$first" '{"valid":false,"counter":2}'
flash second 0 2
expect "$(state_of "$work/second.app" 1.2.0 3)" "$started" "$running"
echo "device reports:"
cat "$work/report"
