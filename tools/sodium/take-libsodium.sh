#!/usr/bin/env bash
# Takes SHA-512 and Ed25519 (libsodium's ref10 code, ISC licence) from Debian's libsodium
# source package, Debian's patches applied, for bootloader/crypto/: the files as they
# are, under OUT_DIR/src/libsodium/ with their paths, the licence (LICENSE), and
# fwboot_sodium_names.h, which gives every libsodium name the code defines or calls a
# prefix of its own, so that a program may link Debian's libsodium beside it. Writes
# VERSION (the package's version) last; does nothing when it is there. About 10 s.
#   tools/sodium/take-libsodium.sh OUT_DIR
set -euo pipefail
out=${1:?usage: take-libsodium.sh OUT_DIR}
[ -s "$out/VERSION" ] && exit 0
root=$(cd "$(dirname "$0")/../.." && pwd)

source "$root/tools/install-packages.sh"
install_missing_packages dpkg-dev gcc

# What the verification and the hash take: the code, then the headers it includes.
files=(
  crypto_hash/sha512/cp/hash_sha512_cp.c
  crypto_core/ed25519/ref10/ed25519_ref10.c
  crypto_core/ed25519/ref10/fe_25_5/base.h crypto_core/ed25519/ref10/fe_25_5/base2.h
  crypto_core/ed25519/ref10/fe_25_5/constants.h crypto_core/ed25519/ref10/fe_25_5/fe.h
  crypto_core/ed25519/ref10/fe_51/base.h crypto_core/ed25519/ref10/fe_51/base2.h
  crypto_core/ed25519/ref10/fe_51/constants.h crypto_core/ed25519/ref10/fe_51/fe.h
  crypto_sign/ed25519/ref10/open.c crypto_sign/ed25519/ref10/sign.c
  crypto_sign/ed25519/ref10/sign_ed25519_ref10.h
  include/sodium/export.h include/sodium/utils.h include/sodium/randombytes.h
  include/sodium/crypto_hash_sha512.h include/sodium/crypto_sign_ed25519.h
  include/sodium/crypto_verify_32.h
  include/sodium/private/common.h include/sodium/private/ed25519_ref10.h
  include/sodium/private/ed25519_ref10_fe_25_5.h include/sodium/private/ed25519_ref10_fe_51.h
)
sources=(hash_sha512_cp.c ed25519_ref10.c open.c sign.c)

mkdir -p "$out"
work=$(mktemp -d "$out/source.XXXXXX")
trap 'rm -rf "$work"' EXIT
log=$work.log

# Runs in $work. The names are those the compiled code defines or calls, read with nm
# from a compile for this machine: libsodium's own (crypto_, sodium_, ge25519_, ...),
# never the C library's.
take() {
  local version tree name
  version=$("$root/tools/debian-source.sh" libsodium libsodium-dev) || return 1
  tree=$(find . -mindepth 1 -maxdepth 1 -type d -name 'libsodium-*')
  [ -f "$tree/LICENSE" ] || { echo "apt-get source libsodium gave no source tree"; return 1; }
  mkdir -p taken/src/libsodium
  (cd "$tree/src/libsodium" && cp --parents "${files[@]}" "$OLDPWD/taken/src/libsodium/") &&
    cp "$tree/LICENSE" taken/LICENSE || return 1
  mkdir objects
  for name in $(cd taken/src/libsodium && find . -name '*.c'); do
    env -u CFLAGS gcc -std=c99 -DCONFIGURED=1 -Itaken/src/libsodium/include/sodium -w -c \
      "taken/src/libsodium/$name" -o "objects/$(basename "$name" .c).o" || return 1
  done
  [ "$(ls objects | wc -l)" -eq ${#sources[@]} ] || { echo "expected ${sources[*]}"; return 1; }
  {
    echo "/* Made by tools/sodium/take-libsodium.sh: libsodium's names with a prefix of their own. */"
    nm -g objects/*.o | awk '$NF ~ /^_?(crypto|sodium|randombytes|ge25519|sc25519|fe25519|ristretto255)_/ { print $NF }' |
      sort -u | awk '{ print "#define " $1 " fwboot_sodium_" $1 }'
  } >taken/fwboot_sodium_names.h &&
    echo "$version" >taken/VERSION
}
echo "libsodium's SHA-512 and Ed25519: apt-get source libsodium (log: $log)"
(cd "$work" && take) >"$log" 2>&1 ||
  { tail -n 30 "$log" >&2; echo "take-libsodium: failed (log: $log)" >&2; exit 1; }

# Each part lands whole (a rename within the folder), VERSION last: its presence says the
# rest is there.
rm -rf "${out:?}/src" && mv "$work/taken/src" "$out/src" &&
  mv -f "$work/taken/LICENSE" "$work/taken/fwboot_sodium_names.h" "$work/taken/VERSION" "$out/" ||
  { echo "take-libsodium: cannot write $out" >&2; exit 1; }
rm -f "$log"
echo "libsodium $(cat "$out/VERSION") (SHA-512, Ed25519) in $out"
