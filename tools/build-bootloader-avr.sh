#!/usr/bin/env bash
# Builds the reference bootloader for the ATmega2560 into build-avr/ (or $1):
#   fwflash-boot-qemu.elf  for qemu-system-avr -machine mega2560 (bootloader/ports/avr/qemu/):
#                          flash seam on a RAM area, 9600-baud pacing on Timer1, state
#                          report on USART1
#   fwflash-boot.elf       the real one: SPM page writes, linked at the boot section
# and the core's objects alone (core-*.o, with their stack frames in core-*.su), whose sizes
# bench/bootloader_size.sh reports.
set -euo pipefail
cd "$(dirname "$0")/.."
out=${1:-build-avr}
mkdir -p "$out"

# -mcall-prologues and -mrelax (calls within the boot section's reach made short) keep
# both protocols within the 4 KiB boot section.
cflags=(-mmcu=atmega2560 -DF_CPU=16000000UL -Os -std=c99 -Wall -Wextra -Werror
        -ffunction-sections -fdata-sections -mcall-prologues -mrelax -I.)
# No vector table: avr_reset.c starts both builds.
ldflags=(-nostartfiles -Wl,--gc-sections)
core=(bootloader/core/fwboot.c bootloader/core/fwboot_frames.c bootloader/core/fwboot_crc32.c bootloader/core/fwboot_image.c)
avr=bootloader/ports/avr
shared=("$avr/avr_reset.c" "$avr/avr_clock.c" "$avr/avr_uart.c")
# The two builds differ only in these files.
real=("$avr/avr_main.c" "$avr/avr_uart_put.c" "$avr/avr_flash_spm.c" "$avr/avr_start.c")
qemu=("$avr/qemu/qemu_main.c" "$avr/qemu/qemu_uart_put.c" "$avr/qemu/qemu_flash_ram.c"
      "$avr/qemu/qemu_start.c" "$avr/qemu/qemu_report.c" bootloader/ports/fwboot_report.c)

for source in "${core[@]}"; do
  avr-gcc "${cflags[@]}" -fstack-usage -c "$source" -o "$out/core-$(basename "${source%.c}").o"
done

avr-gcc "${cflags[@]}" "${ldflags[@]}" "${core[@]}" "${shared[@]}" "${qemu[@]}" -o "$out/fwflash-boot-qemu.elf"

avr-gcc "${cflags[@]}" "${ldflags[@]}" -Wl,--section-start=.text=0x3F000 \
  "${core[@]}" "${shared[@]}" "${real[@]}" -o "$out/fwflash-boot.elf"

# The real one must fit its 4 KiB boot section (text and the initial values of data).
size=$(avr-size -A "$out/fwflash-boot.elf" | awk '/^\.(text|data) / { sum += $2 } END { print sum }')
if [ "$size" -gt 4096 ]; then
  echo "build-bootloader-avr.sh: fwflash-boot.elf takes $size bytes, more than its 4096-byte boot section" >&2
  exit 1
fi
