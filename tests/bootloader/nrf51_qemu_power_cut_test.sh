#!/usr/bin/env bash
# Power cuts on the emulated nRF51822: the QEMU build cuts the power in the middle of the
# K-th flash operation since QEMU started (half the page erased or written, then a reset).
# A first image (counter 2) is flashed whole, then a second (counter 3) is cut; the state
# after the cut must name no application (never a half one, never the old one whose
# record has gone), nothing may start, and the next flash must make the second valid.
# QEMU pauses at the cut's reset, so that the flash is seen as the cut left it. All in
# frames: the whole flashes by fwflash-cli --protocol 2, the cut one by the scripted host,
# which sends nothing after the cut (fwflash-cli would send the frame again, and a byte of
# it would open a conversation with the restarted bootloader).
source "$(dirname "$0")/nrf51_qemu_lib.sh"

signed_image first 1.0.0 2
signed_image second 1.2.0 3
first=$(state_of "$work/first.app" 1.0.0 2)
second=$(state_of "$work/second.app" 1.2.0 3)

# The first image's flash on a new device takes 9 operations: the record's page erased, two
# pages erased and written, the counter's pages (never written: 0x00) erased, one written,
# the record written. The second's: the record's page erased (10), its pages (11 to 14), the
# counter written into the erased page (15), the older page erased (16), the record (17).
# CUT "STATE AFTER IT"
cuts=(
  '10 {"valid":false,"counter":2}'  # the old record erased: the old application no longer starts
  '12 {"valid":false,"counter":2}'  # half of the first page written
  '15 {"valid":false,"counter":3}'  # the counter risen, no record yet
  '16 {"valid":false,"counter":3}'  # the older counter's page half erased
)
for cut in "${cuts[@]}"; do
  operation=${cut%% *}
  echo "== the power cut in operation $operation"
  start_nrf51 "$boot_elf" -device "loader,addr=0x20000000,data=$operation,data-len=4"
  expect '{"valid":false,"counter":0}'
  flash first 0 2
  expect "$first"
  catch_reset
  start_flash second frames
  caught_reset "$work/cut.bin"
  kill "$host_pid" 2>/dev/null || true  # it would wait for an answer that never comes
  wait "$host_pid" || true
  if [ "$operation" = 12 ]; then  # the flash as the cut left it: the page half written
    "$python" -c 'import sys
page = open(sys.argv[1], "rb").read()[0x8000:0x8400]
app = open(sys.argv[2], "rb").read()
wanted = app[:512] + b"\xff" * 512
at = next((i for i in range(len(wanted)) if page[i] != wanted[i]), None)
sys.exit(None if at is None else "FAIL: the first page half written expected (the application to 512, then 0xFF); at %d came 0x%02X, not 0x%02X" % (at, page[at], wanted[at]))' \
      "$work/cut.bin" "$work/second.app"
  fi
  # Then the state after the cut: the device waits for an image (no line until the next).
  expect "{\"power\":\"cut\",\"operations\":$((operation - 1))}" "${cut#* }"
  flash second 0 2
  expect "$second"
  stop_nrf51
  expected=()
  : >"$work/report"
done
