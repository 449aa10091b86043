#!/usr/bin/env bash
# The signature check's size on the host: bootloader/crypto/ and libsodium's code that it
# takes (configure the build first: build/libsodium), compiled with gcc -Os as a device
# build would be; each object's sections, then what a program that only verifies keeps
# of them (-ffunction-sections, --gc-sections), over an empty program.
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
