#!/usr/bin/env bash
# fwflash-pack puts new contents into a built program: the packed program shows the new
# picture and texts and sends exactly the new firmware (1 byte, the full 16,388 bytes,
# and one made of the protocol's own bytes).
source "$(dirname "$0")/lib.sh"

python3 - "$work" <<'PY'
import struct, sys
work = sys.argv[1]
open(f"{work}/one.bin", "wb").write(b"\x80")
open(f"{work}/full.bin", "wb").write(bytes((i * 7 + 3) & 0xFF for i in range(16388)))
open(f"{work}/protocol.bin", "wb").write(bytes([0x80, 0xA5, 0xFF, 0x5A] * 64))
# A 16 x 16, 24-bit picture: red on the left, yellow on the right.
rows = b"".join((b"\x00\x00\xff" * 8 + b"\x00\xff\xff" * 8) for _ in range(16))
header = b"BM" + struct.pack("<IHHI", 54 + len(rows), 0, 0, 54)
info = struct.pack("<IiiHHIIiiII", 40, 16, 16, 1, 24, 0, len(rows), 0, 0, 0, 0)
open(f"{work}/picture.bmp", "wb").write(header + info + rows)
PY
printf ' \n \n \nPacked instructions\nPack!\nPacked Flash\n' >"$work/texts.txt"

for image in one full protocol; do
  "$build/fwflash-pack" set "$build/fwflash" -o "$work/fwflash" --firmware "$work/$image.bin" \
    --picture "$work/picture.bmp" --texts "$work/texts.txt" >/dev/null
  start_device --expect "$work/$image.bin"
  start_program "$work/fwflash"
  main=$(wait_window "Packed Flash.?")
  [ "$image" = one ] && screenshot main-window-packed
  press Return "$main"
  done_window=$(wait_window Congratulation 30)
  press Return "$done_window"
  expect_exit_code 0
  device_result || fail "the packed $image.bin did not arrive byte for byte"
done
