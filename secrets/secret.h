// A value that may be a secret (a password, a key), held so that printing it cannot
// leak it: the only way to its bytes is Reveal(), which is called where the value goes
// into its device's image and where the store keeps an item not yet given.
//
//   Fingerprint(bytes)     "sha256:" and the first 16 hex digits of the bytes' SHA-256:
//                          what records, logs and pages hold instead of a secret
//   Secret(text)           the value
//   Secret::Reveal()       its bytes
//   operator<<             its fingerprint, never its bytes
#pragma once

#include <ostream>
#include <string>
#include <utility>

#include "secrets/sha256.h"

inline std::string Fingerprint(const std::string& bytes) {
  return "sha256:" + Sha256Hex(bytes).substr(0, 16);
}

class Secret {
 public:
  Secret() = default;
  explicit Secret(std::string value) : value_(std::move(value)) {}
  const std::string& Reveal() const { return value_; }
  bool operator==(const Secret& other) const { return value_ == other.value_; }

 private:
  std::string value_;
};

inline std::ostream& operator<<(std::ostream& out, const Secret& secret) {
  return out << Fingerprint(secret.Reveal());
}
