// A signature made by another program, for a key that lives in a hardware security module
// or a signing service: the bytes to be signed go to its standard input, and its standard
// output must be the 64-byte signature, nothing else; it must exit with status 0.
//
//   SignWithCommand(command, bytes, signature, error)   command[0] found on PATH, the rest its arguments
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

using Signature = std::array<uint8_t, 64>;

bool SignWithCommand(const std::vector<std::string>& command, const std::vector<uint8_t>& bytes, Signature& signature,
                     std::string& error);
