// The key files' reader, shared by the tools that sign and the programs that check: a
// file read whole that must hold exactly a key's bytes, and NAME.pub, the 32-byte
// Ed25519 public key.
//
//   ReadKeyFile(path, size, what, bytes, error)   the file's bytes when there are exactly
//                                                 size of them; otherwise the bytes read
//                                                 are wiped and error names what the file
//                                                 should hold ("a public key")
//   ReadPublicKey(path, key, error)               the public key: refused when its size
//                                                 is not 32
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

using PublicKey = std::array<uint8_t, 32>;

bool ReadKeyFile(const std::string& path, size_t size, const char* what, std::vector<uint8_t>& bytes,
                 std::string& error);
bool ReadPublicKey(const std::string& path, PublicKey& key, std::string& error);
