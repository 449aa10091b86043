// Fields' values as lists and generators give them and as the image takes them; their
// places; the records' description with secrets as fingerprints; SHA-256 itself.
#include <gtest/gtest.h>

#include <algorithm>

#include "jobs/field_format.h"
#include "jobs/field_plan.h"
#include "secrets/secret.h"
#include "secrets/sha256.h"

namespace {

std::vector<uint8_t> Rendered(const std::string& format, const std::string& value) {
  FieldFormat parsed;
  std::string error;
  std::vector<uint8_t> bytes;
  EXPECT_TRUE(ParseFieldFormat(format, parsed, error)) << error;
  EXPECT_TRUE(RenderField(parsed, value, bytes, error)) << format << " " << value << ": " << error;
  return bytes;
}

JobField Field(const std::string& name, uint64_t at, const std::string& format, bool secret = false) {
  JobField field;
  field.name = name;
  field.at = at;
  field.formatText = format;
  std::string error;
  EXPECT_TRUE(ParseFieldFormat(format, field.format, error));
  field.secret = secret;
  field.source = JobField::Source::List;
  return field;
}

TEST(Sha256Test, KnownDigests) {
  EXPECT_EQ(Sha256Hex(""), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
  EXPECT_EQ(Sha256Hex("abc"), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
  // Lengths round the padding's block boundary: 55, 56 and 64 bytes.
  EXPECT_EQ(Sha256Hex(std::string(55, 'a')), "9f4390f8d30c2dd92ec9f095b65e2b9ae9b0a925a5258e241c9f1e910f734318");
  EXPECT_EQ(Sha256Hex(std::string(56, 'a')), "b35439a4ac6f0948b6d6f9e3c6af0f5f590ce20f1bde7090ef7970686ec6738a");
  EXPECT_EQ(Sha256Hex(std::string(64, 'a')), "ffe054fe7ae0cb6dc65c3af9b61d5209f439851db43d0ba5997337df154668eb");
  EXPECT_EQ(Sha256Hex(std::string(1000000, 'a')), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");
}

TEST(SecretTest, PrintingShowsTheFingerprintOnly) {
  std::ostringstream shown;
  shown << Secret("hunter2-hunter2");
  EXPECT_EQ(shown.str(), "sha256:" + Sha256Hex("hunter2-hunter2").substr(0, 16));
}

TEST(FieldFormatTest, EachFormatTakesItsListSyntaxAndWritesItsBytes) {
  EXPECT_EQ(Rendered("u48be", "346852163592"), (std::vector<uint8_t>{0x00, 0x50, 0xC2, 0x00, 0x00, 0x08}));
  EXPECT_EQ(Rendered("dec:6", "42"), (std::vector<uint8_t>{'0', '0', '0', '0', '4', '2'}));
  EXPECT_EQ(Rendered("bytes:6", "00:50:c2:00:00:08"), (std::vector<uint8_t>{0x00, 0x50, 0xC2, 0x00, 0x00, 0x08}));
  EXPECT_EQ(Rendered("bytes:2", "ABcd"), (std::vector<uint8_t>{0xAB, 0xCD}));
  EXPECT_EQ(Rendered("ascii:5", "pw!"), (std::vector<uint8_t>{'p', 'w', '!', 0, 0}));

  FieldFormat format;
  std::string error, item;
  std::vector<uint8_t> bytes;
  ASSERT_TRUE(ParseFieldFormat("u16le", format, error));
  EXPECT_FALSE(RenderField(format, "65536", bytes, error)) << "wider than the format";
  EXPECT_FALSE(ParseFieldFormat("bytes:4097", format, error));
  EXPECT_FALSE(ParseFieldFormat("ascii:x", format, error));
  EXPECT_FALSE(ReadItem("hex", 6, "00:50:C2:00:00", item, error));
  EXPECT_FALSE(ReadItem("hex", 2, "0:050", item, error)) << "a separator inside a byte";
  EXPECT_FALSE(ReadItem("hex", 2, "abc", item, error));
  EXPECT_FALSE(ReadItem("text", 4, "tab\there", item, error));
  EXPECT_FALSE(ReadItem("text", 4, "fives", item, error));
  EXPECT_FALSE(ReadItem("text", 4, "", item, error));
  EXPECT_FALSE(ReadItem("number", 0, "-1", item, error));
  EXPECT_TRUE(ReadItem("number", 0, "007", item, error));
  EXPECT_EQ(item, "7") << "a number by its value";
  EXPECT_EQ(ItemBytes("text", 4, "ab"), std::string("ab\0\0", 4)) << "padded to the list's length";
}

TEST(FieldPlanTest, FieldsLieInsideTheImageApartOnBlankBytes) {
  std::vector<uint8_t> image(64, 0xFF);
  image[40] = 0x12;
  std::string error;
  EXPECT_TRUE(CheckFieldPlaces({Field("a", 0, "u32le"), Field("b", 4, "bytes:4"), Field("c", 60, "ascii:4")}, image,
                               false, error)) << error;
  EXPECT_FALSE(CheckFieldPlaces({Field("a", 0, "u32le"), Field("b", 3, "bytes:4")}, image, false, error));
  EXPECT_NE(error.find("overlaps the field a"), std::string::npos) << error;
  EXPECT_FALSE(CheckFieldPlaces({Field("c", 61, "ascii:4")}, image, false, error));
  EXPECT_FALSE(CheckFieldPlaces({Field("c", UINT64_MAX - 1, "ascii:4")}, image, false, error)) << "no wrap";
  EXPECT_FALSE(CheckFieldPlaces({Field("d", 38, "u32le")}, image, false, error));
  EXPECT_TRUE(CheckFieldPlaces({Field("d", 38, "u32le")}, image, true, error));
}

TEST(FieldPlanTest, ARecordDescribesEachValueAndASecretByTheFingerprintOfItsBytes) {
  const std::vector<JobField> fields = {Field("mac", 0, "bytes:6"), Field("password", 6, "ascii:8", true)};
  DeviceRecord record;
  record.drawn = {{"mac", Secret("0050c2000008"), "macs", 9, 10}, {"password", Secret("s3cret"), "pw", 1, 2}};
  EXPECT_EQ(DescribeFields(fields, record),
            R"({"mac":"0050c2000008","password":"sha256:)" + Sha256Hex(std::string("s3cret\0\0", 8)).substr(0, 16) + "\"}");
  std::vector<uint8_t> image;
  std::string error;
  ASSERT_TRUE(StampFields(fields, std::vector<uint8_t>(16, 0xFF), record, image, error)) << error;
  EXPECT_EQ(image, (std::vector<uint8_t>{0x00, 0x50, 0xC2, 0x00, 0x00, 0x08, 's', '3', 'c', 'r', 'e', 't', 0, 0, 0xFF, 0xFF}));
  record.drawn.pop_back();
  EXPECT_FALSE(StampFields(fields, std::vector<uint8_t>(16, 0xFF), record, image, error)) << "a value missing";
}

TEST(FieldPlanTest, TheSerialCounterCarriesTheRecordsNumberAndEveryOtherByteUnchanged) {
  JobField serial = Field("serial", 30, "u16be");
  serial.source = JobField::Source::Counter;
  std::vector<uint8_t> base(32);
  for (size_t i = 0; i < base.size(); ++i) base[i] = static_cast<uint8_t>(i * 7);
  DeviceRecord record;
  record.serial = 0xABCD;
  std::vector<uint8_t> image;
  std::string error;
  ASSERT_TRUE(StampFields({serial}, base, record, image, error)) << error;
  ASSERT_EQ(image.size(), base.size());
  EXPECT_EQ(image[30], 0xAB);
  EXPECT_EQ(image[31], 0xCD);
  EXPECT_TRUE(std::equal(base.begin(), base.begin() + 30, image.begin()));
}

}  // namespace
