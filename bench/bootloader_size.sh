#!/usr/bin/env bash
# The reference bootloader's flash and RAM on the ATmega2560, by avr-size: the portable
# core alone (its objects, sections summed: on AVR constant data is copied to RAM), its
# stack frames (-fstack-usage), and the two whole builds of tools/build-bootloader-avr.sh.
set -euo pipefail
cd "$(dirname "$0")/.."
out=$(mktemp -d /tmp/fwflash-boot-size-XXXXXX)
trap 'rm -rf "$out"' EXIT
tools/build-bootloader-avr.sh "$out"

echo "core objects (avr-gcc -Os):                            flash   RAM"
avr-size -A "$out"/core-*.o | awk '
  /^\.(text|rodata|data)/ { flash += $2 }
  /^\.(rodata|data|bss)/  { ram += $2 }
  END { printf "  fwboot.c fwboot_frames.c fwboot_crc32.c fwboot_image.c %5d %5d\n", flash, ram }'
echo "core stack frames (bytes):"
sort -t$'\t' -k2 -n -r "$out"/core-*.su | awk -F'\t' '{ sub(/.*:/, "", $1); printf "  %-28s %4d\n", $1, $2 }'
for elf in fwflash-boot.elf fwflash-boot-qemu.elf; do
  echo "$elf:"
  avr-size -C --mcu=atmega2560 "$out/$elf" | grep -E '^(Program|Data):' | sed 's/^/  /'
done
