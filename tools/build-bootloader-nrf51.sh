#!/usr/bin/env bash
# Builds the reference bootloader for the nRF51822 (Cortex-M0) into build-nrf51/:
#   fwflash-boot.elf       the real one, at 0x0: UART0 polled, TIMER0, the NVMC
#   fwflash-boot-qemu.elf  for qemu-system-arm -M microbit (bootloader/ports/nrf51/qemu/):
#                          the state at every reset and the application's start by
#                          semihosting, a 2 s sync window, power cuts on request
#                          (qemu/qemu_power_cut.c says how)
#   test-app.bin           a test application linked at 0x8000 (test-app/test_app.c)
# With --key NAME.pub (once or twice) both bootloaders are built with these public keys
# and take only images signed with one of them; without, they take unsigned images and
# hold no crypto, taken by tools/sodium/take-libsodium.sh into --sodium DIR (default
# OUT/libsodium; a configured tree's build/libsodium saves fetching it again). The objects
# keep their stack frames (*.su) and call graphs (*.ci) for bench/bootloader_nrf51_size.sh.
#   tools/build-bootloader-nrf51.sh [--key NAME.pub]... [--out DIR] [--sodium DIR]
set -euo pipefail
usage() { echo "usage: build-bootloader-nrf51.sh [--key NAME.pub]... [--out DIR] [--sodium DIR]" >&2; exit 2; }
keys=()
out=build-nrf51
sodium_dir=
while [ $# -gt 0 ]; do
  case $1 in
    --key) [ $# -ge 2 ] || usage; keys+=("$(realpath "$2")"); shift 2 ;;
    --out) [ $# -ge 2 ] || usage; out=$(realpath -m "$2"); shift 2 ;;
    --sodium) [ $# -ge 2 ] || usage; sodium_dir=$(realpath -m "$2"); shift 2 ;;
    *) usage ;;
  esac
done
[ ${#keys[@]} -le 2 ] || { echo "build-bootloader-nrf51.sh: at most 2 keys" >&2; exit 2; }
cd "$(dirname "$0")/.."
nrf51=bootloader/ports/nrf51
objects=$out/objects
# The objects both builds link, then each one's own (real/, qemu/).
rm -rf "$objects" && mkdir -p "$objects/real" "$objects/qemu"

# No C library: libc/ gives the few declarations the crypto includes, nrf51_libc.c the
# functions; libgcc the divisions.
cflags=(-mcpu=cortex-m0 -mthumb -Os -std=c99 -ffreestanding -ffunction-sections -fdata-sections
        -fstack-usage -fcallgraph-info=su -I. -I"$nrf51/libc")
warnings=(-Wall -Wextra -Werror)
ldflags=(-nostdlib -Wl,--gc-sections -T "$nrf51/nrf51_boot.ld")
sources=(bootloader/core/fwboot.c bootloader/core/fwboot_frames.c bootloader/core/fwboot_crc32.c
         bootloader/core/fwboot_image.c "$nrf51/nrf51_vectors.c" "$nrf51/nrf51_clock.c"
         "$nrf51/nrf51_uart.c" "$nrf51/nrf51_flash.c" "$nrf51/nrf51_start.c" "$nrf51/nrf51_libc.c")
real=("$nrf51/nrf51_main.c")
qemu=("$nrf51/qemu/qemu_main.c" "$nrf51/qemu/qemu_report.c" "$nrf51/qemu/qemu_power_cut.c"
      bootloader/ports/fwboot_report.c)
sodium_sources=()

if [ ${#keys[@]} -gt 0 ]; then
  sodium_dir=${sodium_dir:-$out/libsodium}
  tools/sodium/take-libsodium.sh "$sodium_dir" >/dev/null
  sodium=$sodium_dir/src/libsodium
  cflags+=(-DFWBOOT_KEYS -I"$out/keys")
  crypto_flags=(-DCONFIGURED=1 -include "$sodium_dir/fwboot_sodium_names.h" -I"$sodium/include/sodium")
  sources+=(bootloader/core/fwboot_counter.c bootloader/core/fwboot_signed.c bootloader/crypto/fwboot_keyed.c
            bootloader/crypto/fwboot_verify.c bootloader/crypto/fwboot_sodium_shim.c
            bootloader/crypto/fwboot_signed_check.c "$nrf51/nrf51_keys.c")
  sodium_sources=("$sodium/crypto_hash/sha512/cp/hash_sha512_cp.c" "$sodium/crypto_core/ed25519/ref10/ed25519_ref10.c"
                  "$sodium/crypto_sign/ed25519/ref10/open.c" "$sodium/crypto_sign/ed25519/ref10/sign.c")
  # The keys' bytes, for nrf51_keys.c; the public keys only.
  mkdir -p "$out/keys"
  {
    echo "#define NRF51_KEYS { \\"
    for key in "${keys[@]}"; do
      [ "$(stat -c %s "$key")" -eq 32 ] || { echo "build-bootloader-nrf51.sh: $key is no 32-byte public key" >&2; exit 2; }
      echo "  {$(od -An -v -tx1 "$key" | tr -s ' \n' ' ' | sed 's/^ //; s/ $//; s/\([0-9a-f][0-9a-f]\)/0x\1,/g; s/,$//')}, \\"
    done
    echo "}"
  } >"$out/keys/nrf51_keys.h"
fi

object_of() { # SOURCE [BUILD]
  echo "$objects/${2:+$2/}$(basename "${1%.c}").o"
}
compile() { # SOURCE BUILD FLAGS...
  local source=$1 build=$2
  shift 2
  arm-none-eabi-gcc "${cflags[@]}" "$@" -c "$source" -o "$(object_of "$source" "$build")"
}
for source in "${sources[@]}"; do compile "$source" "" "${warnings[@]}" ${crypto_flags[@]+"${crypto_flags[@]}"} & done
for source in "${real[@]}"; do compile "$source" real "${warnings[@]}" & done
for source in "${qemu[@]}"; do compile "$source" qemu "${warnings[@]}" & done
# libsodium's code as it is: no warnings of ours. -fno-inline keeps its field arithmetic
# from being copied into every caller: 560 bytes less, without which the build with keys
# would not fit below the application area.
for source in ${sodium_sources[@]+"${sodium_sources[@]}"}; do compile "$source" "" -w -fno-inline "${crypto_flags[@]}" & done
wait_all() { local failed=0 job; for job in $(jobs -p); do wait "$job" || failed=1; done; return $failed; }
wait_all

common=()
for source in "${sources[@]}" ${sodium_sources[@]+"${sodium_sources[@]}"}; do common+=("$(object_of "$source")"); done
arm-none-eabi-gcc "${cflags[@]}" "${ldflags[@]}" "${common[@]}" "$(object_of "${real[0]}" real)" -lgcc \
  -o "$out/fwflash-boot.elf"
qemu_objects=()
for source in "${qemu[@]}"; do qemu_objects+=("$(object_of "$source" qemu)"); done
arm-none-eabi-gcc "${cflags[@]}" "${ldflags[@]}" -Wl,--wrap=fwboot_flash_erase_page,--wrap=fwboot_flash_write_page \
  "${common[@]}" "${qemu_objects[@]}" -lgcc -o "$out/fwflash-boot-qemu.elf"

arm-none-eabi-gcc -mcpu=cortex-m0 -mthumb -Os -std=c99 -ffreestanding "${warnings[@]}" -nostdlib \
  -T "$nrf51/test-app/test_app.ld" "$nrf51/test-app/test_app.c" -o "$out/test-app.elf"
arm-none-eabi-objcopy -O binary "$out/test-app.elf" "$out/test-app.bin"
