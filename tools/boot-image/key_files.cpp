#include "tools/boot-image/key_files.h"

#include <fcntl.h>
#include <sodium.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

namespace {

std::string Why(const std::string& path) { return path + ": " + std::strerror(errno); }

// A new file of exactly these bytes with this mode; refused when the file is there.
bool WriteNewFile(const std::string& path, const uint8_t* bytes, size_t length, mode_t mode, std::string& error) {
  const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
  if (fd < 0) {
    error = errno == EEXIST ? path + ": already there (a key is never overwritten)" : Why(path);
    return false;
  }
  const bool written = fchmod(fd, mode) == 0 && write(fd, bytes, length) == static_cast<ssize_t>(length);
  if (!written) error = Why(path);
  if (close(fd) != 0 && written) error = Why(path);
  if (!error.empty()) unlink(path.c_str());
  return error.empty();
}

}  // namespace

bool MakeKeyPair(const std::string& name, std::string& error) {
  PrivateKey key;
  PublicKey public_key;
  if (sodium_init() < 0) {
    error = "libsodium cannot start";
    return false;
  }
  crypto_sign_keypair(public_key.data(), key.data());
  const bool made = WriteNewFile(name + ".key", key.data(), key.size(), 0600, error) &&
                    WriteNewFile(name + ".pub", public_key.data(), public_key.size(), 0644, error);
  WipeKey(key);
  return made;
}

bool ReadPrivateKey(const std::string& path, PrivateKey& key, std::string& error) {
  struct stat status;
  if (stat(path.c_str(), &status) != 0) {
    error = Why(path);
    return false;
  }
  if ((status.st_mode & 077) != 0) {
    char mode[8];
    std::snprintf(mode, sizeof mode, "%04o", static_cast<unsigned>(status.st_mode & 07777));
    error = path + ": mode " + mode + ", but a private key must be readable by its owner only (chmod 600 " + path + ")";
    return false;
  }
  std::vector<uint8_t> bytes;
  if (!ReadKeyFile(path, key.size(), "a private key", bytes, error)) return false;
  std::memcpy(key.data(), bytes.data(), key.size());
  sodium_memzero(bytes.data(), bytes.size());
  // The public half made anew from the seed: a damaged file would sign with a key that
  // its own public key does not verify.
  PublicKey derived;
  PrivateKey again;
  const bool whole = sodium_init() >= 0 && crypto_sign_seed_keypair(derived.data(), again.data(), key.data()) == 0 &&
                     std::memcmp(derived.data(), key.data() + 32, derived.size()) == 0;
  WipeKey(again);
  if (!whole) {
    WipeKey(key);
    error = path + ": its public half is not its seed's: not a key that fwflash-boot-image made";
    return false;
  }
  return true;
}

void WipeKey(PrivateKey& key) { sodium_memzero(key.data(), key.size()); }
