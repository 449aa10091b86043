// The simulation's keys: the public keys of its --key files, as a port compiles its own in.
#include <vector>

#include "bootloader/crypto/fwboot_keyed.h"
#include "bootloader/ports/host/host_port.h"
#include "signatures/public_key_file.h"

namespace {
std::vector<PublicKey> keys;
}

bool LoadKeys(const std::vector<std::string>& paths, const FlashSettings& flash, std::string& error) {
  if (paths.size() > FWBOOT_MAX_KEYS) {
    error = "at most " + std::to_string(FWBOOT_MAX_KEYS) + " keys";
    return false;
  }
  // The application's page, the counter's two and the record's.
  if (!paths.empty() && flash.pages < 4) {
    error = "a bootloader with keys needs at least 4 pages";
    return false;
  }
  for (const std::string& path : paths) {
    PublicKey key;
    if (!ReadPublicKey(path, key, error)) return false;
    keys.push_back(key);
  }
  return true;
}

uint8_t fwboot_key_count(void) { return static_cast<uint8_t>(keys.size()); }
const uint8_t* fwboot_key(uint8_t index) { return keys[index].data(); }
