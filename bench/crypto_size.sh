#!/usr/bin/env bash
# The signature check's size on the host: bootloader/crypto/ and libsodium's code that it
# takes (configure the build first: build/libsodium), compiled with gcc -Os as a device
# build would be; each object's sections, then what a program that only verifies keeps
# of them (-ffunction-sections, --gc-sections), over an empty program; and what a build
# with keys adds to the bootloader: the core and a port of stubs linked without keys and
# with them (the guard, the counter and the crypto it keeps).
#   bench/crypto_size.sh [BUILD_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
sodium=$build/libsodium
[ -s "$sodium/VERSION" ] || { echo "crypto_size: configure $build first ($sodium is made then)" >&2; exit 1; }
out=$(mktemp -d /tmp/fwflash-crypto-size-XXXXXX)
trap 'rm -rf "$out"' EXIT

flags=(-std=c99 -Os -ffunction-sections -fdata-sections -DCONFIGURED=1 -I. -I"$sodium/src/libsodium/include/sodium"
       -include "$sodium/fwboot_sodium_names.h" -w)
sources=(bootloader/crypto/fwboot_verify.c bootloader/crypto/fwboot_sodium_shim.c bootloader/crypto/fwboot_signed_check.c
         bootloader/core/fwboot_signed.c bootloader/core/fwboot_image.c
         "$sodium"/src/libsodium/crypto_hash/sha512/cp/hash_sha512_cp.c
         "$sodium"/src/libsodium/crypto_core/ed25519/ref10/ed25519_ref10.c
         "$sodium"/src/libsodium/crypto_sign/ed25519/ref10/open.c "$sodium"/src/libsodium/crypto_sign/ed25519/ref10/sign.c)
for source in "${sources[@]}"; do gcc "${flags[@]}" -c "$source" -o "$out/$(basename "$source" .c).o"; done
echo "objects (gcc $(gcc -dumpversion) -Os, x86-64), text+data+bss:"
size "$out"/*.o | awk 'NR > 1 { sub(/.*\//, "", $6); printf "  %-22s %7d\n", $6, $4; total += $4 } END { printf "  %-22s %7d\n", "all", total }'

cat >"$out/verify_only.c" <<'PROGRAM'
#include "bootloader/core/fwboot_signed.h"
#include "bootloader/crypto/fwboot_signed_check.h"
int main(int argc, char **argv) {
  static uint8_t bytes[FWBOOT_SIGNED_MAX_HEADER_SIZE], key[32];
  fwboot_signed_header header;
  fwboot_sha512_state state;
  (void)argv;
  if (fwboot_parse_signed_header(bytes, sizeof bytes, 1u << 20, &header) != FWBOOT_SIGNED_OK) return 1;
  fwboot_sha512_init(&state);
  fwboot_app_hash_update(&state, &header, 0, bytes, (size_t)argc);
  fwboot_sha512_final(&state, bytes);
  return fwboot_signed_header_verifies(bytes, &header, key);
}
PROGRAM
echo 'int main(void) { return 0; }' >"$out/empty.c"
gcc "${flags[@]}" -Wl,--gc-sections "$out/verify_only.c" "$out"/*.o -o "$out/verify_only"
gcc "${flags[@]}" -Wl,--gc-sections "$out/empty.c" -o "$out/empty"
echo "kept by a program that parses, hashes and verifies (--gc-sections), over an empty one:"
size "$out/verify_only" "$out/empty" | awk 'NR == 2 { kept = $4 } NR == 3 { printf "  %d bytes\n", kept - $4 }'

cat >"$out/port.c" <<'PORT'
#include "bootloader/core/fwboot.h"
#include "bootloader/core/fwboot_port.h"
void fwboot_uart_put(uint8_t byte) { (void)byte; }
int fwboot_uart_get(uint8_t *byte, uint16_t timeout_ms) { *byte = (uint8_t)timeout_ms; return 1; }
uint8_t fwboot_uart_rates(void) { return 0; }
void fwboot_uart_set_rate(uint8_t rate) { (void)rate; }
uint8_t fwboot_uart_frames(void) { return 1; }
uint16_t fwboot_flash_page_size(void) { return 256; }
uint32_t fwboot_flash_area_size(void) { return 65536; }
int fwboot_flash_erase_page(uint32_t offset) { return offset != 1; }
int fwboot_flash_write_page(uint32_t offset, const uint8_t *data) { return offset != data[0]; }
void fwboot_flash_read(uint32_t offset, uint8_t *data, uint16_t length) { while (length--) *data++ = (uint8_t)offset; }
void fwboot_start_application(void) {}
static uint8_t page[256];
int main(void) { return fwboot_run(page, 500, FWBOOT_PROTOCOLS_1_AND_2); }
PORT
cat >"$out/keys.c" <<'KEYS'
#include "bootloader/crypto/fwboot_keyed.h"
static const uint8_t key[32] = {1};
uint8_t fwboot_key_count(void) { return 1; }
const uint8_t *fwboot_key(uint8_t index) { (void)index; return key; }
KEYS

device_flags=(-std=c99 -Os -ffunction-sections -fdata-sections -Wl,--gc-sections -I. -w)
core=(bootloader/core/fwboot.c bootloader/core/fwboot_frames.c bootloader/core/fwboot_crc32.c bootloader/core/fwboot_image.c)
s=$sodium/src/libsodium
crypto=(bootloader/core/fwboot_counter.c bootloader/core/fwboot_signed.c bootloader/crypto/fwboot_keyed.c
        bootloader/crypto/fwboot_verify.c bootloader/crypto/fwboot_sodium_shim.c bootloader/crypto/fwboot_signed_check.c
        "$s"/crypto_hash/sha512/cp/hash_sha512_cp.c "$s"/crypto_core/ed25519/ref10/ed25519_ref10.c
        "$s"/crypto_sign/ed25519/ref10/open.c "$s"/crypto_sign/ed25519/ref10/sign.c)
gcc "${device_flags[@]}" "${core[@]}" "$out/port.c" -o "$out/unkeyed"
gcc "${device_flags[@]}" -DFWBOOT_KEYS -DCONFIGURED=1 -I"$s/include/sodium" -include "$sodium/fwboot_sodium_names.h" \
  "${core[@]}" "${crypto[@]}" "$out/port.c" "$out/keys.c" -o "$out/keyed"
echo "gcc $(gcc -dumpversion) -Os, x86-64, a port of stubs: text+data, bss"
size "$out/unkeyed" "$out/keyed" | awk 'NR > 1 { sub(/.*\//, "", $6); printf "  %-9s %7d %6d\n", $6, $1 + $2, $3;
  flash[NR] = $1 + $2; bss[NR] = $3 } END { printf "  %-9s %7d %6d\n", "added", flash[3] - flash[2], bss[3] - bss[2] }'
