# What the emulated ATmega2560's tests share (sourced): qemu_lib.sh's scratch folder,
# waits and line, and QEMU started on a build of the AVR port.
#   start_qemu BUILD_OUT   builds the AVR port into BUILD_OUT and runs its QEMU build: USART0
#                          on a pseudo-terminal ($pty, held open), USART1 into $work/report
qemu_board=avr
source "$(dirname "${BASH_SOURCE[0]}")/qemu_lib.sh"

start_qemu() {
  "$source_dir/tools/build-bootloader-avr.sh" "$1"
  run_qemu qemu-system-avr -machine mega2560 -bios "$1/fwflash-boot-qemu.elf" -display none \
    -monitor none -serial pty -serial "file:$work/report"
  await "$work/report" '{"valid":false}'
}
