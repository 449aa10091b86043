#!/usr/bin/env bash
# fwflash-cli flashes the reference bootloader on an emulated ATmega2560
# (qemu-system-avr -machine mega2560), USART0 on a pseudo-terminal, the device pacing its
# characters at 9600 baud. The device reports the state it finds at every reset on
# USART1 (a file here): after each flash, the length and CRC-32 of what it received and
# read back, which must be the application's. Then a refused image, and a second flash
# in the same QEMU run.
set -euo pipefail
source_dir=$(cd "$(dirname "$0")/../.." && pwd)
build=${FWFLASH_BUILD_DIR:?FWFLASH_BUILD_DIR must name the build directory}
work=$(mktemp -d /tmp/fwflash-boot-avr-XXXXXX)
qemu_pid=
cleanup() {
  if [ -n "$qemu_pid" ]; then kill "$qemu_pid" 2>/dev/null || true; wait "$qemu_pid" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT

# await FILE TEXT: waits (30 s at most) until FILE holds TEXT.
await() {
  local i
  for i in $(seq 1500); do
    grep -qF -- "$2" "$1" 2>/dev/null && return 0
    sleep 0.02
  done
  echo "FAIL: no '$2' in $1:" >&2
  cat "$1" >&2 || true
  return 1
}

# state_of APP: the line the device reports for this application, valid.
state_of() {
  python3 -c 'import sys, zlib
d = open(sys.argv[1], "rb").read()
print("{\"valid\":true,\"length\":%d,\"crc32\":\"0x%08X\"}" % (len(d), zlib.crc32(d)))' "$1"
}

# flash IMAGE STATUS: fwflash-cli's run must end with STATUS.
flash() {
  local status=0
  "$build/fwflash-cli" --port "$pty" --firmware "$1" >"$work/cli.out" 2>&1 || status=$?
  cat "$work/cli.out"
  [ "$status" -eq "$2" ] || { echo "FAIL: fwflash-cli ended with $status, not $2" >&2; exit 1; }
}

"$source_dir/tools/build-bootloader-avr.sh" "$build/build-avr"
qemu-system-avr -machine mega2560 -bios "$build/build-avr/fwflash-boot-qemu.elf" -display none \
  -monitor none -serial pty -serial "file:$work/report" >"$work/qemu.out" 2>&1 &
qemu_pid=$!
await "$work/qemu.out" /dev/pts/
pty=$(grep -o '/dev/pts/[0-9]*' "$work/qemu.out")
# QEMU drops what the device sends while no program holds the terminal open.
exec 3<>"$pty"
await "$work/report" '{"valid":false}'

python3 -c 'import sys; sys.stdout.buffer.write(bytes((i * 7 + 3) & 255 for i in range(300)))' >"$work/first.app"
python3 -c 'import sys; sys.stdout.buffer.write(bytes((i * 13 + 5) & 255 for i in range(500)))' >"$work/second.app"
"$build/fwflash-boot-image" "$work/first.app" "$work/first.img"
"$build/fwflash-boot-image" "$work/second.app" "$work/second.img"

flash "$work/first.img" 0
first=$(state_of "$work/first.app")
await "$work/report" "$first"

flash "$work/second.app" 1  # no header: refused before anything is erased
[ "$(grep -cF -- "$first" "$work/report")" -eq 2 ] || await "$work/report" "$first"$'\n'"$first"

flash "$work/second.img" 0
await "$work/report" "$(state_of "$work/second.app")"
echo "device reports:"
cat "$work/report"
