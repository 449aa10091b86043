#!/usr/bin/env bash
# The reference bootloader on the nRF51822: flash, RAM and the deepest stack of the real
# and the QEMU builds of tools/build-bootloader-nrf51.sh, without keys and with one (a
# throwaway key made here: its size is what counts). Flash is .text (code, constants, the
# initial values of .data) of the 32 KiB below the application area; RAM is .data, .bss
# and .noinit of 16 KiB, the rest being the stack's; the stack is the heaviest call path
# from main in gcc's call graphs (bench/stack_depth.py), the bootloader taking no interrupt.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${FWFLASH_BUILD_DIR:-build}
out=$(mktemp -d /tmp/fwflash-boot-nrf51-size-XXXXXX)
trap 'rm -rf "$out"' EXIT
"$build/fwflash-boot-image" --new-key "$out/bench" >/dev/null

report() { # LABEL OUT
  local elf build_name
  for build_name in real qemu; do
    elf=$2/fwflash-boot.elf
    [ $build_name = qemu ] && elf=$2/fwflash-boot-qemu.elf
    arm-none-eabi-size -A "$elf" | awk -v label="$1 $(basename "$elf")" '
      /^\.text /                  { flash += $2 }
      /^\.data /                  { flash += $2; ram += $2 }
      /^\.(bss|noinit) /          { ram += $2 }
      END { printf "%-42s flash %6d of 32768   RAM %5d of 16384\n", label, flash, ram }'
    printf '  stack %s\n' "$(bench/stack_depth.py main "$2/objects" "$2/objects/$build_name")"
  done
}

tools/build-bootloader-nrf51.sh --out "$out/unsigned"
report "without keys" "$out/unsigned"
tools/build-bootloader-nrf51.sh --out "$out/keyed" --key "$out/bench.pub"
report "with a key" "$out/keyed"
