// The signature check's cost on the host: a signed header's check (key id and Ed25519
// verification of 172 bytes), SHA-512 over the application, ours (libsodium's portable
// ref10 code, as a device builds it) beside Debian's libsodium (its 64-bit field code).
//   build/bench/verify_bench [ROUNDS]    default 200; prints medians
#include <sodium.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <vector>

#include "bootloader/core/fwboot_signed.h"
#include "bootloader/crypto/fwboot_signed_check.h"

namespace {

double MedianMicroseconds(int rounds, const std::function<void()>& work) {
  std::vector<double> times;
  for (int i = 0; i < rounds; ++i) {
    const auto start = std::chrono::steady_clock::now();
    work();
    times.push_back(std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start).count());
  }
  std::nth_element(times.begin(), times.begin() + rounds / 2, times.end());
  return times[rounds / 2];
}

}  // namespace

int main(int argc, char** argv) {
  const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 200;
  if (sodium_init() < 0) return 1;
  uint8_t public_key[32], secret[64];
  crypto_sign_keypair(public_key, secret);

  fwboot_signed_header header{};
  header.app_length = 1 << 20;
  header.region_count = 1;
  header.header_size = FWBOOT_SIGNED_BASE_SIZE + FWBOOT_SIGNED_REGION_SIZE;
  header.regions[0] = {16, 8, 0xFF};
  fwboot_key_id(public_key, header.key_id);
  std::vector<uint8_t> bytes(header.header_size);
  fwboot_write_signed_header(bytes.data(), &header);
  crypto_sign_detached(header.signature, nullptr, bytes.data(), bytes.size() - 64, secret);
  fwboot_write_signed_header(bytes.data(), &header);
  const std::vector<uint8_t> app(header.app_length, 0x5A);
  int failures = 0;

  const double check = MedianMicroseconds(rounds, [&] {
    failures += fwboot_signed_header_verifies(bytes.data(), &header, public_key) != 1;
  });
  const double sodium_verify = MedianMicroseconds(rounds, [&] {
    failures += crypto_sign_verify_detached(header.signature, bytes.data(), bytes.size() - 64, public_key) != 0;
  });
  uint8_t digest[64];
  const double hash = MedianMicroseconds(std::max(1, rounds / 20), [&] {
    fwboot_sha512_state state;
    fwboot_sha512_init(&state);
    fwboot_app_hash_update(&state, &header, 0, app.data(), app.size());
    fwboot_sha512_final(&state, digest);
  });
  const double sodium_hash = MedianMicroseconds(std::max(1, rounds / 20), [&] {
    crypto_hash_sha512(digest, app.data(), app.size());
  });

  std::printf("signed header of %u bytes, median of %d rounds:\n", header.header_size, rounds);
  std::printf("  check (key id, Ed25519 verification), ours        %8.1f us\n", check);
  std::printf("  Ed25519 verification, Debian's libsodium           %8.1f us\n", sodium_verify);
  std::printf("SHA-512 of a 1 MiB application, one region blank:\n");
  std::printf("  ours (in pieces, as the device hashes)             %8.1f us  %6.1f MB/s\n", hash, app.size() / hash);
  std::printf("  Debian's libsodium                                 %8.1f us  %6.1f MB/s\n", sodium_hash,
              app.size() / sodium_hash);
  if (failures != 0) std::printf("%d checks FAILED\n", failures);
  return failures == 0 ? 0 : 1;
}
