#!/usr/bin/env bash
# The emulated nRF51822's flash kept across QEMU runs: saved from the monitor (memsave)
# after a signed flash by fwflash-cli, then the next run starts from it (-kernel). The
# application is valid and starts there with its version, and the security counter came
# along: an image with a lower counter is still refused, for its counter (the reason that
# fwflash-cli shows for a refusal in frames). QEMU writes a -kernel image back at every
# reset, so that run could not keep a flash of its own; a refusal changes nothing.
source "$(dirname "$0")/nrf51_qemu_lib.sh"

signed_image first 1.0.0 2
signed_image older 0.9.0 1
first=$(state_of "$work/first.app" 1.0.0 2)

start_nrf51 "$boot_elf"
expect '{"valid":false,"counter":0}'
flash first 0
expect "$first" "$started" "$running"
save_flash "$work/flash.bin"
stop_nrf51

start_nrf51 "$work/flash.bin"
expect "$first" "$started" "$running"
flash older 1 2  # the probe resets the application: its bootloader's window
reason="its security counter is lower than the device's"
grep -qF "$reason" "$work/host.out" || { echo "FAIL: expected the refusal '$reason', fwflash-cli said:" >&2; cat "$work/host.out" >&2; exit 1; }
expect "$first" "$first" "$started" "$running"
echo "device reports:"
cat "$work/report"
