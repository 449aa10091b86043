# What the emulated board's tests share (sourced): a scratch folder removed at the end
# with QEMU, waits on the device's report, and QEMU started on a build of the AVR port.
#   await FILE TEXT        waits (30 s at most) until FILE holds TEXT
#   state_of APP           the line the device reports for this application, valid
#   start_qemu BUILD_OUT   builds the AVR port into BUILD_OUT and runs its QEMU build: USART0
#                          on a pseudo-terminal ($pty, held open), USART1 into $work/report
set -euo pipefail
source_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
build=${FWFLASH_BUILD_DIR:?FWFLASH_BUILD_DIR must name the build directory}
work=$(mktemp -d /tmp/fwflash-boot-avr-XXXXXX)
qemu_pid=
cleanup() {
  if [ -n "$qemu_pid" ]; then kill "$qemu_pid" 2>/dev/null || true; wait "$qemu_pid" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT

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

state_of() {
  python3 -c 'import sys, zlib
d = open(sys.argv[1], "rb").read()
print("{\"valid\":true,\"length\":%d,\"crc32\":\"0x%08X\"}" % (len(d), zlib.crc32(d)))' "$1"
}

start_qemu() {
  "$source_dir/tools/build-bootloader-avr.sh" "$1"
  qemu-system-avr -machine mega2560 -bios "$1/fwflash-boot-qemu.elf" -display none \
    -monitor none -serial pty -serial "file:$work/report" >"$work/qemu.out" 2>&1 &
  qemu_pid=$!
  await "$work/qemu.out" /dev/pts/
  pty=$(grep -o '/dev/pts/[0-9]*' "$work/qemu.out")
  # QEMU drops what the device sends while no program holds the terminal open.
  exec 3<>"$pty"
  await "$work/report" '{"valid":false}'
}
