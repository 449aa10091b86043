// How a number field's value is shown in its record: hex in the format's hex width, a
// MAC most significant first whatever the byte order, and the shows a format refuses.
#include <gtest/gtest.h>

#include <cctype>

#include "jobs/field_plan.h"
#include "jobs/field_show.h"
#include "secrets/sha256.h"

namespace {

constexpr int64_t kMac = 0x0050C2000008;

FieldFormat Format(const std::string& text) {
  FieldFormat format;
  std::string error;
  EXPECT_TRUE(ParseFieldFormat(text, format, error)) << error;
  return format;
}

FieldShow Show(const std::string& text, const std::string& format) {
  FieldShow show = FieldShow::Decimal;
  std::string error;
  EXPECT_TRUE(ParseFieldShow(text, Format(format), show, error)) << error;
  return show;
}

struct Shown {
  std::string format, show;
  int64_t number;
  std::string text;
};

void PrintTo(const Shown& shown, std::ostream* out) {
  *out << shown.format << " " << shown.show << " " << shown.number;
}

class ShowNumberTest : public testing::TestWithParam<Shown> {};

// "u48be_mac_13": the format and the show, and the case's place for the ones that share them.
std::string CaseName(const testing::TestParamInfo<Shown>& info) {
  std::string name = info.param.format + "_" + info.param.show + "_" + std::to_string(info.index);
  for (char& c : name)
    if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
  return name;
}

TEST_P(ShowNumberTest, TheNumberReadsAsItsShowSays) {
  const Shown& c = GetParam();
  EXPECT_EQ(ShowNumber(Format(c.format), Show(c.show, c.format), c.number), c.text);
}

// Hex: two digits per byte of the smallest whole number of bytes that holds the
// format's largest value; for a binary format its width, capped where 2^63-1 is.
INSTANTIATE_TEST_SUITE_P(
    Formats, ShowNumberTest,
    testing::Values(Shown{"u48be", "decimal", kMac, "346852163592"}, Shown{"u16le", "hex", 5, "0x0005"},
                    Shown{"u16be", "hex", 0xFFFF, "0xFFFF"}, Shown{"u32le", "hex", 0xABCDEF, "0x00ABCDEF"},
                    Shown{"u48le", "hex", kMac, "0x0050C2000008"}, Shown{"u64be", "hex", 1, "0x0000000000000001"},
                    Shown{"u64le", "hex", INT64_MAX, "0x7FFFFFFFFFFFFFFF"},
                    Shown{"dec:2", "hex", 99, "0x63"},              // 99: 1 byte
                    Shown{"dec:3", "hex", 42, "0x002A"},            // 999 = 0x3E7: 2 bytes
                    Shown{"dec:6", "hex", 42, "0x00002A"},          // 999999 = 0x0F423F: 3 bytes
                    Shown{"dec:32", "hex", 42, "0x000000000000002A"},  // 2^63-1: 8 bytes
                    Shown{"hex:3", "hex", 0xFFF, "0x0FFF"}, Shown{"hex:4", "hex", 0xAB, "0x00AB"},
                    Shown{"u48be", "mac", kMac, "00:50:C2:00:00:08"}, Shown{"u48le", "mac", kMac, "00:50:C2:00:00:08"},
                    Shown{"u48be", "mac", 0xFFFFFFFFFFFF, "FF:FF:FF:FF:FF:FF"}, Shown{"u48le", "mac", 0, "00:00:00:00:00:00"}),
    CaseName);

TEST(FieldShowTest, AShowThatDoesNotFitItsFormatIsRefusedWithTheReason) {
  const std::pair<std::string, std::string> refused[] = {
      {"mac", "u32le"}, {"mac", "u64be"}, {"mac", "dec:12"}, {"mac", "hex:12"},
      {"hex", "bytes:6"}, {"mac", "bytes:6"}, {"decimal", "ascii:8"}, {"octal", "u32le"}, {"MAC", "u48be"}};
  for (const auto& [show, format] : refused) {
    FieldShow parsed = FieldShow::Decimal;
    std::string error;
    EXPECT_FALSE(ParseFieldShow(show, Format(format), parsed, error)) << show << " on " << format;
    EXPECT_FALSE(error.empty());
  }
  FieldShow parsed = FieldShow::Decimal;
  std::string error;
  ParseFieldShow("mac", Format("u32le"), parsed, error);
  EXPECT_NE(error.find("u48le or u48be"), std::string::npos) << error;
}

// The record shows each field its way while the image takes the bytes in its byte
// order; a secret stays its fingerprint whatever its show.
TEST(FieldShowTest, ARecordShowsEachNumberItsWayAndTheImageKeepsItsByteOrder) {
  auto field = [](const std::string& name, uint64_t at, const std::string& format, const std::string& show) {
    JobField made;
    made.name = name;
    made.at = at;
    made.formatText = format;
    made.format = Format(format);
    made.show = Show(show, format);
    made.source = JobField::Source::Counter;
    return made;
  };
  std::vector<JobField> fields = {field("serial", 0, "u32le", "hex"), field("be", 4, "u48be", "mac"),
                                  field("le", 10, "u48le", "mac"), field("pin", 16, "dec:4", "hex")};
  fields.back().secret = true;
  DeviceRecord record;
  record.serial = 100000;
  record.drawn = {{"be", Secret(std::to_string(kMac)), "", 0, 0},
                  {"le", Secret(std::to_string(kMac)), "", 0, 0},
                  {"pin", Secret("1234"), "", 0, 0}};
  EXPECT_EQ(DescribeFields(fields, record), R"({"serial":"0x000186A0","be":"00:50:C2:00:00:08","le":"00:50:C2:00:00:08",)"
                                            R"("pin":"sha256:)" + Sha256Hex("1234").substr(0, 16) + "\"}");
  std::vector<uint8_t> image;
  std::string error;
  ASSERT_TRUE(StampFields(fields, std::vector<uint8_t>(20, 0xFF), record, image, error)) << error;
  EXPECT_EQ(image, (std::vector<uint8_t>{0xA0, 0x86, 0x01, 0x00, 0x00, 0x50, 0xC2, 0x00, 0x00, 0x08,
                                         0x08, 0x00, 0x00, 0xC2, 0x50, 0x00, '1', '2', '3', '4'}));
}

}  // namespace
