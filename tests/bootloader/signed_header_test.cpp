// The signed header's parse, which meets a header from the wire: every bad header in a
// table is refused with its reason, and random damage is never read past the bytes there
// are; then the hash with the regions blank, and the key's and signature's check.
#include <sodium.h>

#include <cstring>
#include <functional>
#include <random>
#include <vector>

#include <gtest/gtest.h>

#include "bootloader/core/fwboot_image.h"
#include "bootloader/core/fwboot_signed.h"
#include "bootloader/crypto/fwboot_signed_check.h"

namespace {

using Bytes = std::vector<uint8_t>;
constexpr uint32_t kAppLength = 1000;

// A header of two regions (offset 16, 8 bytes, blank 0xFF; offset 100, 6 bytes, blank 0x00).
fwboot_signed_header GoodHeader() {
  fwboot_signed_header header{};
  header.app_length = kAppLength;
  header.version_major = 2;
  header.version_minor = 1;
  header.version_patch = 300;
  header.counter = 7;
  header.region_count = 2;
  header.header_size = FWBOOT_SIGNED_BASE_SIZE + 2 * FWBOOT_SIGNED_REGION_SIZE;
  header.regions[0] = {16, 8, 0xFF};
  header.regions[1] = {100, 6, 0x00};
  for (uint8_t i = 0; i < FWBOOT_APP_HASH_BYTES; ++i) header.app_hash[i] = i;
  return header;
}

Bytes Write(const fwboot_signed_header& header) {
  Bytes bytes(FWBOOT_SIGNED_BASE_SIZE + header.region_count * FWBOOT_SIGNED_REGION_SIZE);
  fwboot_write_signed_header(bytes.data(), &header);
  return bytes;
}

fwboot_signed_status Parse(const Bytes& bytes, fwboot_signed_header& header, uint32_t max = kAppLength) {
  return fwboot_parse_signed_header(bytes.data(), static_cast<uint32_t>(bytes.size()), max, &header);
}

TEST(SignedHeader, WrittenThenParsedGivesEveryField) {
  const fwboot_signed_header good = GoodHeader();
  Bytes bytes = Write(good);
  bytes.resize(bytes.size() + 5);  // the application follows: the parse reads the header only
  fwboot_signed_header parsed;
  ASSERT_EQ(Parse(bytes, parsed), FWBOOT_SIGNED_OK);
  EXPECT_EQ(fwboot_signed_header_size(bytes.data()), good.header_size);
  EXPECT_EQ(parsed.header_size, good.header_size);
  EXPECT_EQ(parsed.app_length, good.app_length);
  EXPECT_EQ(parsed.version_major, good.version_major);
  EXPECT_EQ(parsed.version_minor, good.version_minor);
  EXPECT_EQ(parsed.version_patch, good.version_patch);
  EXPECT_EQ(parsed.counter, good.counter);
  EXPECT_EQ(parsed.region_count, good.region_count);
  for (int i = 0; i < 2; ++i) {
    EXPECT_EQ(parsed.regions[i].offset, good.regions[i].offset);
    EXPECT_EQ(parsed.regions[i].length, good.regions[i].length);
    EXPECT_EQ(parsed.regions[i].blank, good.regions[i].blank);
  }
  EXPECT_EQ(std::memcmp(parsed.app_hash, good.app_hash, sizeof good.app_hash), 0);
  EXPECT_EQ(std::memcmp(bytes.data(), "FWS1", 4), 0);
  EXPECT_EQ(bytes[12] | bytes[13] << 8 | bytes[14] << 16 | bytes[15] << 24, 2 | 1 << 8 | 300 << 16);
}

struct BadHeader {
  const char* name;
  std::function<void(Bytes&)> damage;
  fwboot_signed_status status;
};

void PrintTo(const BadHeader& bad, std::ostream* out) { *out << bad.name; }

void PutU32(Bytes& bytes, size_t at, uint32_t value) { fwboot_put_u32(bytes.data() + at, value); }

class SignedHeaderRefusal : public testing::TestWithParam<BadHeader> {};

TEST_P(SignedHeaderRefusal, RefusedWithItsReason) {
  Bytes bytes = Write(GoodHeader());
  GetParam().damage(bytes);
  fwboot_signed_header parsed;
  EXPECT_EQ(Parse(bytes, parsed), GetParam().status);
}

constexpr size_t kRegion0 = 24, kRegion1 = 36;  // where the two regions stand

INSTANTIATE_TEST_SUITE_P(
    Table, SignedHeaderRefusal,
    testing::Values(
        BadHeader{"unsigned magic", [](Bytes& b) { PutU32(b, 0, FWBOOT_HEADER_MAGIC); }, FWBOOT_SIGNED_NOT_SIGNED},
        BadHeader{"fewer bytes than the prefix", [](Bytes& b) { b.resize(7); }, FWBOOT_SIGNED_BAD_SIZE},
        BadHeader{"cut before the signature's end", [](Bytes& b) { b.pop_back(); }, FWBOOT_SIGNED_BAD_SIZE},
        BadHeader{"cut after the prefix", [](Bytes& b) { b.resize(FWBOOT_SIGNED_PREFIX_SIZE); }, FWBOOT_SIGNED_BAD_SIZE},
        BadHeader{"size of nine regions", [](Bytes& b) { PutU32(b, 4, FWBOOT_SIGNED_BASE_SIZE + 9 * 12); b.resize(400); },
                  FWBOOT_SIGNED_BAD_SIZE},
        BadHeader{"size of 4 GiB", [](Bytes& b) { PutU32(b, 4, 0xFFFFFFF4u); }, FWBOOT_SIGNED_BAD_SIZE},
        BadHeader{"size below the fixed part", [](Bytes& b) { PutU32(b, 4, 100); }, FWBOOT_SIGNED_BAD_SIZE},
        BadHeader{"size between two region counts", [](Bytes& b) { PutU32(b, 4, FWBOOT_SIGNED_BASE_SIZE + 13); },
                  FWBOOT_SIGNED_BAD_SIZE},
        BadHeader{"region count that disagrees with the size", [](Bytes& b) { b[20] = 1; }, FWBOOT_SIGNED_BAD_SIZE},
        BadHeader{"region count of 255", [](Bytes& b) { b[20] = 255; }, FWBOOT_SIGNED_BAD_SIZE},
        BadHeader{"reserved byte after the count", [](Bytes& b) { b[22] = 1; }, FWBOOT_SIGNED_BAD_RESERVED},
        BadHeader{"reserved byte of a region", [](Bytes& b) { b[kRegion1 + 11] = 0x80; }, FWBOOT_SIGNED_BAD_RESERVED},
        BadHeader{"no application", [](Bytes& b) { PutU32(b, 8, 0); }, FWBOOT_SIGNED_BAD_LENGTH},
        BadHeader{"application one byte too long", [](Bytes& b) { PutU32(b, 8, kAppLength + 1); },
                  FWBOOT_SIGNED_BAD_LENGTH},
        BadHeader{"region of no bytes", [](Bytes& b) { PutU32(b, kRegion0 + 4, 0); }, FWBOOT_SIGNED_BAD_REGION},
        BadHeader{"region one byte past the application", [](Bytes& b) { PutU32(b, kRegion1 + 4, kAppLength - 99); },
                  FWBOOT_SIGNED_BAD_REGION},
        BadHeader{"region whose end wraps around 2^32", [](Bytes& b) { PutU32(b, kRegion1 + 4, 0xFFFFFFF0u); },
                  FWBOOT_SIGNED_BAD_REGION},
        BadHeader{"region that starts past the application", [](Bytes& b) { PutU32(b, kRegion1, kAppLength + 1); },
                  FWBOOT_SIGNED_BAD_REGION},
        BadHeader{"overlapping regions", [](Bytes& b) { PutU32(b, kRegion1, 23); }, FWBOOT_SIGNED_BAD_REGION},
        BadHeader{"regions out of order", [](Bytes& b) { PutU32(b, kRegion1, 2); }, FWBOOT_SIGNED_BAD_REGION},
        BadHeader{"blank neither 0x00 nor 0xFF", [](Bytes& b) { b[kRegion0 + 8] = 0x42; }, FWBOOT_SIGNED_BAD_REGION}),
    [](const testing::TestParamInfo<BadHeader>& info) { return std::to_string(info.index); });

TEST(SignedHeader, AdjacentRegionsAndARegionAtTheEndAreTaken) {
  Bytes bytes = Write(GoodHeader());
  PutU32(bytes, kRegion1, 24);                      // right after the first
  PutU32(bytes, kRegion1 + 4, kAppLength - 24);     // up to the application's last byte
  fwboot_signed_header parsed;
  EXPECT_EQ(Parse(bytes, parsed), FWBOOT_SIGNED_OK);
}

// Random damage to a good header, cut at random: refused or parsed into a header whose
// regions keep their promises; never a read past the bytes given (the sanitizer pass).
TEST(SignedHeader, RandomDamageNeverParsesIntoABrokenPromise) {
  std::mt19937 random(30);
  const Bytes good = Write(GoodHeader());
  for (int round = 0; round < 20000; ++round) {
    Bytes bytes(good.begin(), good.begin() + static_cast<long>(random() % (good.size() + 1)));
    for (int flips = 1 + static_cast<int>(random() % 4); flips > 0 && !bytes.empty(); --flips)
      bytes[random() % bytes.size()] ^= static_cast<uint8_t>(1u << (random() % 8));
    fwboot_signed_header parsed;
    if (Parse(bytes, parsed) != FWBOOT_SIGNED_OK) continue;
    ASSERT_LE(parsed.header_size, bytes.size());
    ASSERT_EQ(parsed.header_size, FWBOOT_SIGNED_BASE_SIZE + parsed.region_count * FWBOOT_SIGNED_REGION_SIZE);
    ASSERT_GT(parsed.app_length, 0u);
    ASSERT_LE(parsed.app_length, kAppLength);
    uint64_t end = 0;
    for (uint8_t i = 0; i < parsed.region_count; ++i) {
      const fwboot_region& region = parsed.regions[i];
      ASSERT_GE(region.offset, end);
      end = uint64_t{region.offset} + region.length;
      ASSERT_LE(end, parsed.app_length);
      ASSERT_TRUE(region.blank == 0x00 || region.blank == 0xFF);
    }
  }
}

Bytes HashInPieces(const fwboot_signed_header& header, const Bytes& app, const std::vector<size_t>& cuts) {
  fwboot_sha512_state state;
  fwboot_sha512_init(&state);
  size_t from = 0;
  for (size_t cut : cuts) {
    fwboot_app_hash_update(&state, &header, static_cast<uint32_t>(from), app.data() + from, cut - from);
    from = cut;
  }
  fwboot_app_hash_update(&state, &header, static_cast<uint32_t>(from), app.data() + from, app.size() - from);
  Bytes digest(FWBOOT_SHA512_BYTES);
  fwboot_sha512_final(&state, digest.data());
  return digest;
}

TEST(AppHash, RegionsCountAsTheirBlankWhateverTheyHoldAndWhereverThePiecesEnd) {
  const fwboot_signed_header header = GoodHeader();
  Bytes app(kAppLength);
  for (size_t i = 0; i < app.size(); ++i) app[i] = static_cast<uint8_t>(i * 13 + 5);
  Bytes blanked = app;
  std::fill(blanked.begin() + 16, blanked.begin() + 24, 0xFF);
  std::fill(blanked.begin() + 100, blanked.begin() + 106, 0x00);
  Bytes expected(FWBOOT_SHA512_BYTES);
  ASSERT_GE(sodium_init(), 0);
  crypto_hash_sha512(expected.data(), blanked.data(), blanked.size());

  EXPECT_EQ(HashInPieces(header, app, {}), expected);
  EXPECT_EQ(HashInPieces(header, app, {16, 24, 100, 106}), expected);  // at the regions' edges
  EXPECT_EQ(HashInPieces(header, app, {17, 23, 101, 999}), expected);  // inside them
  std::mt19937 random(3);
  for (int round = 0; round < 50; ++round) {
    std::vector<size_t> cuts(1 + random() % 6);
    for (size_t& cut : cuts) cut = random() % app.size();
    std::sort(cuts.begin(), cuts.end());
    EXPECT_EQ(HashInPieces(header, app, cuts), expected) << "round " << round;
  }
  Bytes outside = app;
  outside[24] ^= 1;  // the byte after the first region
  EXPECT_NE(HashInPieces(header, outside, {}), expected);
}

TEST(SignedHeaderCheck, VerifiesWithItsKeyOnlyAndNotOnceChanged) {
  ASSERT_GE(sodium_init(), 0);
  uint8_t public_key[32], secret[64], other_public[32], other_secret[64];
  crypto_sign_keypair(public_key, secret);
  crypto_sign_keypair(other_public, other_secret);
  fwboot_signed_header header = GoodHeader();
  fwboot_key_id(public_key, header.key_id);
  Bytes bytes = Write(header);
  crypto_sign_detached(header.signature, nullptr, bytes.data(), bytes.size() - 64, secret);
  bytes = Write(header);

  EXPECT_EQ(fwboot_signed_header_verifies(bytes.data(), &header, public_key), 1);
  EXPECT_EQ(fwboot_signed_header_verifies(bytes.data(), &header, other_public), 0);
  // Another key's signature under this key's id.
  crypto_sign_detached(header.signature, nullptr, bytes.data(), bytes.size() - 64, other_secret);
  EXPECT_EQ(fwboot_signed_header_verifies(bytes.data(), &header, other_public), 0);
  EXPECT_EQ(fwboot_signed_header_verifies(bytes.data(), &header, public_key), 0);
  crypto_sign_detached(header.signature, nullptr, bytes.data(), bytes.size() - 64, secret);
  for (size_t at : {size_t{4}, size_t{16}, size_t{kRegion1 + 8}, bytes.size() - 65}) {  // size, counter, a blank, the id
    Bytes changed = bytes;
    changed[at] ^= 0x01;
    EXPECT_EQ(fwboot_signed_header_verifies(changed.data(), &header, public_key), 0) << "byte " << at;
  }
}

}  // namespace
