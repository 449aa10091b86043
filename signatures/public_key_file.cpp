#include "signatures/public_key_file.h"

#include <cstring>

#include "files/whole_file.h"

bool ReadKeyFile(const std::string& path, size_t size, const char* what, std::vector<uint8_t>& bytes,
                 std::string& error) {
  if (!ReadWholeFile(path, bytes, error)) return false;
  if (bytes.size() == size) return true;
  // A private key's file cut short still holds most of the key: its bytes go nowhere.
  volatile uint8_t* wiped = bytes.data();
  for (size_t i = 0; i < bytes.size(); ++i) wiped[i] = 0;
  error = path + ": " + std::to_string(bytes.size()) + " bytes, but " + what + " file holds " + std::to_string(size);
  return false;
}

bool ReadPublicKey(const std::string& path, PublicKey& key, std::string& error) {
  std::vector<uint8_t> bytes;
  if (!ReadKeyFile(path, key.size(), "a public key", bytes, error)) return false;
  std::memcpy(key.data(), bytes.data(), key.size());
  return true;
}
