// SHA-256 of bytes, for the job file's identity, list items' duplicates and the
// fingerprints of secrets.
//
//   Sha256(data, size) / Sha256(text)   the 32-byte digest
//   Sha256Hex(text)                     the digest as 64 lower-case hex digits
//   HexText(bytes)                      bytes as lower-case hex digits
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

using Sha256Digest = std::array<uint8_t, 32>;

Sha256Digest Sha256(const uint8_t* data, size_t size);
Sha256Digest Sha256(const std::string& text);
std::string Sha256Hex(const std::string& text);
std::string HexText(const uint8_t* data, size_t size);
