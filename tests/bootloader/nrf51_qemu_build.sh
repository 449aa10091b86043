#!/usr/bin/env bash
# The fixture of the emulated nRF51822's tests: two signing keys (vendor, other) in a
# temporary folder, linked from build/nrf51-qemu/signing, and the port built there with the
# vendor's public key (tools/build-bootloader-nrf51.sh). With --clean: both removed.
set -euo pipefail
build=${FWFLASH_BUILD_DIR:?FWFLASH_BUILD_DIR must name the build directory}
out=$build/nrf51-qemu
if [ -L "$out/signing" ]; then rm -rf "$(readlink "$out/signing")" "$out/signing"; fi
[ "${1:-}" = --clean ] && exit 0

mkdir -p "$out"
ln -s "$(mktemp -d /tmp/fwflash-nrf51-keys-XXXXXX)" "$out/signing"
for name in vendor other; do "$build/fwflash-boot-image" --new-key "$out/signing/$name" >/dev/null; done
# libsodium's code from where the configured tree took it.
"$(dirname "$0")/../../tools/build-bootloader-nrf51.sh" --key "$out/signing/vendor.pub" --out "$out" \
  --sodium "${FWFLASH_SODIUM_DIR:?FWFLASH_SODIUM_DIR must name the folder of the crypto sources}"
