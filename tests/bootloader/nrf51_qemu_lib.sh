# What the emulated nRF51822's tests share (sourced): qemu_lib.sh's scratch folder, waits
# and line, and QEMU's microbit (qemu-system-arm -M microbit) on the port's QEMU build, made
# with the vendor's key by the fixture nrf51_qemu_build.sh into $nrf51 (the keys in $keys).
#   start_nrf51 FLASH [QEMU OPTION]...
#                  runs the microbit on FLASH: the bootloader's ELF ($boot_elf), or a whole
#                  flash kept by save_flash (which QEMU then writes back at every reset).
#                  The UART on $pty (held open), the device's lines (semihosting) appended
#                  to $work/report, QMP on $work/qmp.sock.
#   stop_nrf51     QEMU quits
#   qmp STEP...    tests/bootloader/qmp.py on that socket
#   save_flash FILE               the 256 KiB of flash into FILE
#   catch_reset    the device's next reset pauses QEMU instead (the action of
#                  -action reboot=shutdown,shutdown=pause, set while it runs)
#   caught_reset FILE             waits until a reset has paused QEMU, saves the flash
#                  into FILE, and lets the reset go on
#   signed_image NAME VERSION COUNTER [KEY]
#                  $work/NAME.app (the test application, NAME's bytes appended) and its
#                  image $work/NAME.img, signed by KEY (default vendor)
#   flash NAME STATUS [PROTOCOL]  the device called into its bootloader by the probe, then
#                  fwflash-cli's run with $work/NAME.img (or the scripted host's for PROTOCOL
#                  frames, tests/bootloader/frame_flash.py) must end with STATUS
#   start_flash NAME [PROTOCOL]   the same run left going: $host_pid
#   expect LINE... the device's next lines: the whole report must be all lines expected
#                  so far, in order (a line that was not expected fails the test)
qemu_board=nrf51
source "$(dirname "${BASH_SOURCE[0]}")/qemu_lib.sh"
nrf51=$build/nrf51-qemu
keys=$nrf51/signing
boot_elf=$nrf51/fwflash-boot-qemu.elf
started='{"started":true}'
# The test application's first words: its start shows that its interrupts reach it.
running='{"application":"interrupt"}'
expected=()
touch "$work/report"

start_nrf51() {
  local flash=$1
  shift
  rm -f "$work/qmp.sock"
  run_qemu qemu-system-arm -M microbit -nographic -kernel "$flash" -serial pty -monitor none \
    -qmp "unix:$work/qmp.sock,server=on,wait=off" \
    -semihosting-config enable=on,target=native,chardev=report \
    -chardev "file,id=report,path=$work/report,append=on" "$@"
}

qmp() { "$python" "$source_dir/tests/bootloader/qmp.py" "$work/qmp.sock" "$@"; }

stop_nrf51() {
  qmp quit
  wait "$qemu_pid" || true
  qemu_pid=
  exec 3>&-
}

save_flash() { qmp "memsave {\"val\": 0, \"size\": 262144, \"filename\": \"$1\"}"; }

catch_reset() { qmp 'set-action {"reboot": "shutdown", "shutdown": "pause"}'; }

caught_reset() {
  qmp 'await-status shutdown'
  save_flash "$1"
  qmp 'set-action {"reboot": "reset"}' system_reset cont
}

# NAME seeds the bytes appended, so that two names make two applications.
signed_image() {
  "$python" -c 'import random, sys
app = open(sys.argv[1], "rb").read() + random.Random(sys.argv[2]).randbytes(900)
open(sys.argv[3], "wb").write(app)' "$nrf51/test-app.bin" "$1" "$work/$1.app"
  "$build/fwflash-boot-image" "$work/$1.app" "$work/$1.img" --sign "$keys/${4:-vendor}.key" \
    --version "$2" --counter "$3" >/dev/null
}

start_flash() {
  local frame_host=$source_dir/tests/bootloader/frame_flash.py
  "$python" "$frame_host" "$pty" --probe
  if [ "${2:-1}" = frames ]; then
    "$python" "$frame_host" "$pty" "$work/$1.img" 1000000 >"$work/host.out" 2>&1 &
  else
    "$build/fwflash-cli" --port "$pty" --firmware "$work/$1.img" --protocol "${2:-1}" >"$work/host.out" 2>&1 &
  fi
  host_pid=$!
}

flash() {
  local status=0
  start_flash "$1" "${3:-1}"
  wait "$host_pid" || status=$?
  grep -v % "$work/host.out" || true
  [ "$status" -eq "$2" ] || { echo "FAIL: the flash ended with $status, not $2" >&2; exit 1; }
}

expect() {
  expected+=("$@")
  local i
  for i in $(seq 1500); do
    [ "$(wc -l <"$work/report")" -ge ${#expected[@]} ] && break
    sleep 0.02
  done
  if ! diff <(printf '%s\n' "${expected[@]}") <(head -n ${#expected[@]} "$work/report") >"$work/diff"; then
    echo "FAIL: the device's lines differ from those expected (<) at:" >&2
    cat "$work/diff" >&2
    exit 1
  fi
}
