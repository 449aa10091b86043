// fwflash-test-sign KEYFILE: a signing command for fwflash-boot-image's --sign-command, as
// a signing service would be one: the bytes to sign on standard input, the 64-byte Ed25519
// signature (Debian's libsodium) on standard output. KEYFILE: a key fwflash-boot-image made.
#include <sodium.h>

#include <cstdio>
#include <fstream>
#include <iostream>
#include <iterator>
#include <vector>

int main(int argc, char** argv) {
  if (argc != 2 || sodium_init() < 0) return 2;
  std::ifstream file(argv[1], std::ios::binary);
  const std::vector<unsigned char> key((std::istreambuf_iterator<char>(file)), {});
  const std::vector<unsigned char> message((std::istreambuf_iterator<char>(std::cin.rdbuf())), {});
  unsigned char signature[crypto_sign_BYTES];
  if (key.size() != crypto_sign_SECRETKEYBYTES ||
      crypto_sign_detached(signature, nullptr, message.data(), message.size(), key.data()) != 0)
    return 1;
  return std::fwrite(signature, 1, sizeof signature, stdout) == sizeof signature ? 0 : 1;
}
