#!/usr/bin/env bash
# The emulated ATmega2560 flashed twice in the second protocol by a scripted host
# (frame_flash.py): the probe, a change of rate (which QEMU's USART does not keep: only
# the conversation is checked), BEGIN, the pages one in flight, END. After each flash the
# device reports the length and CRC-32 of what it received and read back.
source "$(dirname "$0")/avr_qemu_lib.sh"

start_qemu "$work/avr"
"$python" -c 'import sys; sys.stdout.buffer.write(bytes((i * 11 + 1) & 255 for i in range(700)))' >"$work/first.app"
"$python" -c 'import sys; sys.stdout.buffer.write(bytes((i * 5 + 9) & 255 for i in range(256)))' >"$work/second.app"
for flash in "first 2000000" "second 250000"; do
  set -- $flash
  "$python" "$source_dir/tests/bootloader/frame_flash.py" "$pty" "$work/$1.app" "$2"
  await "$work/report" "$(state_of "$work/$1.app")"
done
echo "device reports:"
cat "$work/report"
