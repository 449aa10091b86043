// The signing key's two files: NAME.key, the private key (libsodium's 64 bytes: the
// 32-byte seed, then the public key), readable by its owner only; NAME.pub, the 32-byte
// public key. The private key's bytes go to the signature and nowhere else.
//
//   MakeKeyPair(name, error)         writes NAME.key (mode 0600) and NAME.pub, neither there before
//   ReadPrivateKey(path, key, error) the private key: refused when others may read the
//                                    file, its size is not 64, or its halves disagree
//   ReadPublicKey(path, key, error)  the public key: refused when its size is not 32
//   WipeKey(key)                     its bytes zeroed where the compiler cannot skip it
#pragma once

#include <array>
#include <cstdint>
#include <string>

using PrivateKey = std::array<uint8_t, 64>;
using PublicKey = std::array<uint8_t, 32>;

bool MakeKeyPair(const std::string& name, std::string& error);
bool ReadPrivateKey(const std::string& path, PrivateKey& key, std::string& error);
bool ReadPublicKey(const std::string& path, PublicKey& key, std::string& error);
void WipeKey(PrivateKey& key);
