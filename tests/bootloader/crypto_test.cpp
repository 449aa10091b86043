// SHA-512 and Ed25519 verification beside the bootloader's core: the published vectors
// (FIPS 180 for SHA-512, RFC 8032 for Ed25519), then Debian's libsodium as the other
// side: it signs, ours verifies.
#include <sodium.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "bootloader/crypto/fwboot_verify.h"

namespace {

using Bytes = std::vector<uint8_t>;

Bytes FromHex(const std::string& hex) {
  Bytes bytes(hex.size() / 2);
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(std::stoi(hex.substr(2 * i, 2), nullptr, 16));
  return bytes;
}

Bytes Text(const std::string& text) { return Bytes(text.begin(), text.end()); }

// The digest of bytes, fed to the hash in pieces of at most piece bytes.
Bytes Sha512(const Bytes& bytes, size_t piece) {
  fwboot_sha512_state state;
  fwboot_sha512_init(&state);
  for (size_t at = 0; at < bytes.size(); at += piece)
    fwboot_sha512_update(&state, bytes.data() + at, std::min(piece, bytes.size() - at));
  Bytes digest(FWBOOT_SHA512_BYTES);
  fwboot_sha512_final(&state, digest.data());
  return digest;
}

bool Verifies(const Bytes& signature, const Bytes& message, const Bytes& key) {
  return fwboot_ed25519_verify(signature.data(), message.data(), message.size(), key.data()) == 1;
}

struct HashVector {
  const char* name;
  Bytes message;
  const char* digest;
};

void PrintTo(const HashVector& v, std::ostream* out) { *out << v.name; }

class Sha512Vectors : public testing::TestWithParam<HashVector> {};

// Whole, then a byte at a time, then in pieces that cross the 128-byte blocks unevenly.
TEST_P(Sha512Vectors, DigestInAnyPieces) {
  const HashVector& v = GetParam();
  for (size_t piece : {v.message.size() + 1, size_t{1}, size_t{127}, size_t{1000}})
    EXPECT_EQ(Sha512(v.message, piece), FromHex(v.digest)) << v.name << " in pieces of " << piece;
}

INSTANTIATE_TEST_SUITE_P(
    Fips, Sha512Vectors,
    testing::Values(
        HashVector{"empty", {},
                   "cf83e1357eefb8bdf1542850d66d8007d620e4050b5715dc83f4a921d36ce9ce"
                   "47d0d13c5d85f2b0ff8318d2877eec2f63b931bd47417a81a538327af927da3e"},
        HashVector{"abc", Text("abc"),
                   "ddaf35a193617abacc417349ae20413112e6fa4e89a97ea20a9eeee64b55d39a"
                   "2192992a274fc1a836ba3c23a3feebbd454d4423643ce80e2a9ac94fa54ca49f"},
        HashVector{"448 bits", Text("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq"),
                   "204a8fc6dda82f0a0ced7beb8e08a41657c16ef468b228a8279be331a703c335"
                   "96fd15c13b1b07f9aa1d3bea57789ca031ad85c7a71dd70354ec631238ca3445"},
        HashVector{"896 bits",
                   Text("abcdefghbcdefghicdefghijdefghijkefghijklfghijklmghijklmnhijklmno"
                        "ijklmnopjklmnopqklmnopqrlmnopqrsmnopqrstnopqrstu"),
                   "8e959b75dae313da8cf4f72814fc143f8f7779c6eb9f7fa17299aeadb6889018"
                   "501d289e4900f7e4331b99dec4b5433ac7d329eeb6dd26545e96e55b874be909"},
        HashVector{"a million a", Bytes(1000000, 'a'),
                   "e718483d0ce769644e2e42c7bc15b4638e1f98b13b2044285632a803afa973eb"
                   "de0ff244877ea60a4cb0432ce577c31beb009c5c2c49aa2e4eadb217ad8cc09b"}),
    [](const testing::TestParamInfo<HashVector>& info) { return std::to_string(info.index); });

struct SignVector {
  const char* name;
  const char* seed;
  const char* public_key;
  const char* message;
  const char* signature;
};

void PrintTo(const SignVector& v, std::ostream* out) { *out << v.name; }

class Ed25519Vectors : public testing::TestWithParam<SignVector> {
 protected:
  void SetUp() override { ASSERT_GE(sodium_init(), 0); }
};

TEST_P(Ed25519Vectors, VerifiesAndRefusesEveryFlippedPart) {
  const SignVector& v = GetParam();
  const Bytes key = FromHex(v.public_key), message = FromHex(v.message), signature = FromHex(v.signature);
  EXPECT_TRUE(Verifies(signature, message, key));

  // Debian's libsodium makes the same key and signature from the seed.
  Bytes sodium_key(crypto_sign_PUBLICKEYBYTES), secret(crypto_sign_SECRETKEYBYTES), sodium_signature(64);
  ASSERT_EQ(crypto_sign_seed_keypair(sodium_key.data(), secret.data(), FromHex(v.seed).data()), 0);
  crypto_sign_detached(sodium_signature.data(), nullptr, message.data(), message.size(), secret.data());
  EXPECT_EQ(sodium_key, key);
  EXPECT_EQ(sodium_signature, signature);

  for (size_t at : {size_t{0}, size_t{31}, size_t{32}, size_t{63}}) {  // R's and S's ends
    Bytes flipped = signature;
    flipped[at] ^= 0x01;
    EXPECT_FALSE(Verifies(flipped, message, key)) << "signature byte " << at;
  }
  if (!message.empty()) {
    Bytes flipped = message;
    flipped.back() ^= 0x80;
    EXPECT_FALSE(Verifies(signature, flipped, key));
  }
  Bytes other_key = key;
  other_key[5] ^= 0x04;
  EXPECT_FALSE(Verifies(signature, message, other_key));
}

// S + L, the group's order, is the same point arithmetic but another encoding: a verifier
// that takes it lets anyone make a second valid signature from a first.
TEST_P(Ed25519Vectors, RefusesTheSignaturesScalarPlusTheGroupOrder) {
  const SignVector& v = GetParam();
  const Bytes order = FromHex("edd3f55c1a631258d69cf7a2def9de1400000000000000000000000000000010");
  Bytes signature = FromHex(v.signature);
  unsigned carry = 0;
  for (size_t i = 0; i < 32; ++i) {
    carry += signature[32 + i] + order[i];
    signature[32 + i] = static_cast<uint8_t>(carry);
    carry >>= 8;
  }
  EXPECT_FALSE(Verifies(signature, FromHex(v.message), FromHex(v.public_key)));
}

INSTANTIATE_TEST_SUITE_P(
    Rfc8032, Ed25519Vectors,
    testing::Values(
        SignVector{"TEST 1", "9d61b19deffd5a60ba844af492ec2cc44449c5697b326919703bac031cae7f60",
                   "d75a980182b10ab7d54bfed3c964073a0ee172f3daa62325af021a68f707511a", "",
                   "e5564300c360ac729086e2cc806e828a84877f1eb8e5d974d873e065224901555"
                   "fb8821590a33bacc61e39701cf9b46bd25bf5f0595bbe24655141438e7a100b"},
        SignVector{"TEST 2", "4ccd089b28ff96da9db6c346ec114e0f5b8a319f35aba624da8cf6ed4fb8a6fb",
                   "3d4017c3e843895a92b70aa74d1b7ebc9c982ccf2ec4968cc0cd55f12af4660c", "72",
                   "92a009a9f0d4cab8720e820b5f642540a2b27b5416503f8fb3762223ebdb69da"
                   "085ac1e43e15996e458f3613d0f11d8c387b2eaeb4302aeeb00d291612bb0c00"},
        SignVector{"TEST 3", "c5aa8df43f9f837bedb7442f31dcb7b166d38535076f094b85ce3a2e0b4458f7",
                   "fc51cd8e6218a1a38da47ed00230f0580816ed13ba3303ac5deb911548908025", "af82",
                   "6291d657deec24024827e69c3abe01a30ce548a284743a445e3680d7db5ac3ac"
                   "18ff9b538d16f290ae67f760984dc6594a7c15e9716ed28dc027beceea1ec40a"},
        SignVector{"TEST SHA(abc)", "833fe62409237b9d62ec77587520911e9a759cec1d19755b7da901b96dca3d42",
                   "ec172b93ad5e563bf4932c70e1245034c35467ef2efd4d64ebf819683467e2bf",
                   "ddaf35a193617abacc417349ae20413112e6fa4e89a97ea20a9eeee64b55d39a"
                   "2192992a274fc1a836ba3c23a3feebbd454d4423643ce80e2a9ac94fa54ca49f",
                   "dc2a4459e7369633a52b1bf277839a00201009a3efbf3ecb69bea2186c26b589"
                   "09351fc9ac90b3ecfdfbc7c66431e0303dca179c138ac17ad9bef1177331a704"}),
    [](const testing::TestParamInfo<SignVector>& info) { return std::to_string(info.index); });

TEST(CryptoAgainstLibsodium, RandomMessagesSignedThereVerifyHere) {
  ASSERT_GE(sodium_init(), 0);
  std::mt19937 random(30);
  for (int round = 0; round < 40; ++round) {
    Bytes key(crypto_sign_PUBLICKEYBYTES), secret(crypto_sign_SECRETKEYBYTES), signature(64);
    crypto_sign_keypair(key.data(), secret.data());
    Bytes message(random() % 3000);
    for (uint8_t& byte : message) byte = static_cast<uint8_t>(random());
    crypto_sign_detached(signature.data(), nullptr, message.data(), message.size(), secret.data());
    ASSERT_TRUE(Verifies(signature, message, key)) << "round " << round;

    Bytes changed_signature = signature;
    changed_signature[random() % 64] ^= static_cast<uint8_t>(1u << (random() % 8));
    EXPECT_FALSE(Verifies(changed_signature, message, key)) << "round " << round;
    if (!message.empty()) {
      Bytes changed_message = message;
      changed_message[random() % message.size()] ^= static_cast<uint8_t>(1u << (random() % 8));
      EXPECT_FALSE(Verifies(signature, changed_message, key)) << "round " << round;
    }

    Bytes digest(crypto_hash_sha512_BYTES);
    crypto_hash_sha512(digest.data(), message.data(), message.size());
    EXPECT_EQ(Sha512(message, 1 + random() % 300), digest) << "round " << round;
  }
}

}  // namespace
