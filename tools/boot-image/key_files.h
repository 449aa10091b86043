// The signing key's two files: NAME.key, the private key (libsodium's 64 bytes: the
// 32-byte seed, then the public key), readable by its owner only; NAME.pub, the 32-byte
// public key (read by signatures/public_key_file.h). The private key's bytes go to the
// signature and nowhere else.
//
//   MakeKeyPair(name, error)         writes NAME.key (mode 0600) and NAME.pub, neither there before
//   ReadPrivateKey(path, key, error) the private key: refused when others may read the
//                                    file, its size is not 64, or its halves disagree
//   WipeKey(key)                     its bytes zeroed where the compiler cannot skip it
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "signatures/public_key_file.h"

using PrivateKey = std::array<uint8_t, 64>;

bool MakeKeyPair(const std::string& name, std::string& error);
bool ReadPrivateKey(const std::string& path, PrivateKey& key, std::string& error);
void WipeKey(PrivateKey& key);
