// fwflash-pack on a real built program (payload_probe links the block as fwflash does):
// what it stores is what the program sees when it runs, only the block changes, and
// every refused input leaves no file behind.
#include <gtest/gtest.h>

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "device/crc32.h"
#include "files/whole_file.h"
#include "payload/payload_image.h"
#include "payload/payload_tag.h"
#include "tests/support/default_texts.h"
#include "tests/support/scratch_dir.h"
#include "tests/support/program_run.h"

namespace {

using Bytes = std::vector<uint8_t>;

void PutLe32(Bytes& b, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

// An uncompressed 24-bit bitmap file with a colour gradient.
Bytes MakeBitmap(uint32_t width, uint32_t height) {
  uint32_t row = (width * 3 + 3) / 4 * 4;
  Bytes b(54 + row * height, 0);
  b[0] = 'B', b[1] = 'M';
  PutLe32(b, 2, static_cast<uint32_t>(b.size()));
  PutLe32(b, 10, 54);
  PutLe32(b, 14, 40);
  PutLe32(b, 18, width);
  PutLe32(b, 22, height);
  b[26] = 1, b[28] = 24;
  for (size_t i = 54; i < b.size(); ++i) b[i] = static_cast<uint8_t>(i * 7);
  return b;
}

Bytes RandomBytes(size_t size, unsigned seed) {
  std::mt19937 random(seed);
  Bytes b(size);
  for (uint8_t& c : b) c = static_cast<uint8_t>(random());
  return b;
}

std::string Hex(const std::string& text) {
  std::string out;
  char byte[4];
  for (unsigned char c : text) std::snprintf(byte, sizeof byte, " %02x", c), out += byte;
  return out;
}

// What payload_probe prints when it carries these parts.
std::string ProbeReport(const Bytes& picture, const Bytes& firmware, const std::vector<std::string>& texts) {
  char line[96];
  std::snprintf(line, sizeof line, "picture %zu crc32 %08x\nfirmware %zu crc32 %08x\n", picture.size(),
                Crc32(picture.data(), picture.size()), firmware.size(), Crc32(firmware.data(), firmware.size()));
  std::string report = line;
  for (size_t slot = 0; slot < 26; ++slot) report += "text " + std::to_string(slot) + Hex(texts[slot]) + "\n";
  return report;
}

class PackTest : public testing::Test {
 protected:
  void SetUp() override {
    dir_ = scratch_.Path();
    ASSERT_FALSE(dir_.empty());
    input_ = dir_ + "/fwflash";
    std::string error;
    ASSERT_TRUE(ReadWholeFile(BuildPath("tests/payload_probe"), original_, error)) << error;
    Write(input_, original_);
    chmod(input_.c_str(), 0751);
    defaults_.assign(kDefaultTexts, kDefaultTexts + 26);
  }

  std::string Path(const std::string& name) const { return dir_ + "/" + name; }
  static void Write(const std::string& path, const Bytes& bytes) {
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  }
  static void Write(const std::string& path, const std::string& text) { Write(path, Bytes(text.begin(), text.end())); }
  static Bytes Read(const std::string& path) {
    Bytes bytes;
    std::string error;
    EXPECT_TRUE(ReadWholeFile(path, bytes, error)) << error;
    return bytes;
  }
  static ProgramResult Pack(std::vector<std::string> args) {
    args.insert(args.begin(), BuildPath("fwflash-pack"));
    return RunProgram(args);
  }
  std::set<std::string> Files() const {
    std::set<std::string> names;
    if (DIR* d = opendir(dir_.c_str())) {
      while (dirent* entry = readdir(d))
        if (entry->d_name[0] != '.') names.insert(entry->d_name);
      closedir(d);
    }
    return names;
  }

  ScratchDir scratch_{"fwflash-pack"};
  std::string dir_, input_;
  Bytes original_;
  std::vector<std::string> defaults_;
};

TEST_F(PackTest, SetThenShowAndExtractGiveBackWhatWentInAndOnlyTheBlockChanges) {
  Bytes firmware = RandomBytes(5000, 1), picture = MakeBitmap(33, 20);
  firmware[0] = 0x80, firmware[1] = 0xA5, firmware[2] = 0xFF;
  std::string texts;
  for (int line = 0; line < 26; ++line) texts += "Text " + std::to_string(line) + "\n";
  texts.replace(0, 7, "Tab\t\"q\" \\ \xE4\n");
  Write(Path("fw.bin"), firmware), Write(Path("pic.bmp"), picture), Write(Path("texts.txt"), texts);

  ProgramResult set = Pack({"set", input_, "-o", Path("out"), "--firmware", Path("fw.bin"),
                            "--picture", Path("pic.bmp"), "--texts", Path("texts.txt")});
  ASSERT_EQ(set.status, 0) << set.err;
  EXPECT_EQ(Read(input_), original_);
  struct stat st;
  ASSERT_EQ(stat(Path("out").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0751u);

  Bytes packed = Read(Path("out"));
  PayloadImage image;
  std::string error;
  ASSERT_TRUE(image.Locate(packed, kPayloadTag, error)) << error;
  ASSERT_EQ(packed.size(), original_.size());
  size_t block = image.BlockOffset();
  for (size_t i = 0; i < packed.size(); ++i) {
    bool in_block = i >= block && i < block + payload_layout::kBlockSize;
    if (!in_block) {
      ASSERT_EQ(packed[i], original_[i]) << "byte " << i;
    }
  }

  ProgramResult show = Pack({"show", Path("out")});
  ASSERT_EQ(show.status, 0) << show.err;
  char head[128];
  std::snprintf(head, sizeof head, "picture: %zu bytes, 33 x 20 pixels\nfirmware: 5000 bytes, CRC-32 0x%08X\n",
                picture.size(), Crc32(firmware.data(), firmware.size()));
  EXPECT_EQ(show.out.substr(0, std::strlen(head)), head);
  EXPECT_NE(show.out.find("text  0: \"Tab\\t\\\"q\\\" \\\\ \\xE4\\n\"\n"), std::string::npos) << show.out;
  EXPECT_NE(show.out.find("text 25: \"Text 25\\n\"\n"), std::string::npos);

  ProgramResult extract = Pack({"extract", Path("out"), "--firmware", Path("fw.out"), "--picture",
                                Path("pic.out"), "--texts", Path("texts.out")});
  ASSERT_EQ(extract.status, 0) << extract.err;
  EXPECT_EQ(Read(Path("fw.out")), firmware);
  EXPECT_EQ(Read(Path("pic.out")), picture);
  Bytes texts_out = Read(Path("texts.out"));
  EXPECT_EQ(std::string(texts_out.begin(), texts_out.end()), texts);
}

TEST_F(PackTest, ThePackedProgramSeesItsNewPartsWhenItRuns) {
  Bytes shipped_picture = Read(std::string(FWFLASH_SOURCE_DIR) + "/payload/product_picture.bmp");
  Bytes full_picture = shipped_picture;  // fills its room exactly, trailing zeros included
  full_picture.resize(80016, 0);
  PutLe32(full_picture, 2, 80016);
  Write(Path("full.bmp"), full_picture);
  Write(Path("texts.txt"), std::string("Version 2\r\n\r\nDr\rei"));
  std::vector<std::string> texts = defaults_;
  texts[0] = "Version 2\n", texts[1] = "\n", texts[2] = "Drei";

  for (size_t size : {size_t{1}, size_t{16388}}) {
    Bytes firmware = RandomBytes(size, static_cast<unsigned>(size));
    Write(Path("fw.bin"), firmware);
    ProgramResult set = Pack({"set", input_, "-o", Path("packed"), "--firmware", Path("fw.bin"),
                              "--picture", Path("full.bmp"), "--texts", Path("texts.txt")});
    ASSERT_EQ(set.status, 0) << set.err;
    ProgramResult run = RunProgram({Path("packed")});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, ProbeReport(full_picture, firmware, texts)) << size << "-byte firmware";
  }
}

TEST_F(PackTest, TheRoomBehindASmallerPartIsZeroedAndTheReservedBytesStay) {
  Write(Path("big.bin"), Bytes(16388, 0xFF)), Write(Path("small.bin"), Bytes{0xA5});
  Write(Path("long.txt"), std::string(200, 'L') + "\n"), Write(Path("short.txt"), std::string("k\n"));
  ASSERT_EQ(Pack({"set", input_, "-o", Path("big"), "--firmware", Path("big.bin"), "--texts", Path("long.txt")}).status, 0);
  ASSERT_EQ(Pack({"set", Path("big"), "-o", Path("small"), "--firmware", Path("small.bin"), "--texts",
                  Path("short.txt")}).status, 0);
  PayloadImage image;
  std::string error;
  ASSERT_TRUE(image.Locate(Read(Path("small")), kPayloadTag, error)) << error;
  const uint8_t* block = image.Bytes().data() + image.BlockOffset();
  EXPECT_EQ(image.Firmware(), Bytes{0xA5});
  EXPECT_EQ(Bytes(block + 80033, block + 96420), Bytes(16387, 0));
  Bytes slot0(256, 0);
  slot0[0] = 'k', slot0[1] = '\n';
  EXPECT_EQ(Bytes(block + 112811, block + 112811 + 256), slot0);
  PayloadImage shipped;
  ASSERT_TRUE(shipped.Locate(original_, kPayloadTag, error)) << error;
  const uint8_t* shipped_block = shipped.Bytes().data() + shipped.BlockOffset();
  EXPECT_EQ(Bytes(block + 96420, block + 112811), Bytes(shipped_block + 96420, shipped_block + 112811));
}

// Each refused input: exit status 2, a one-line message naming the fault, no file.
struct Refusal {
  const char* fault;
  std::vector<std::string> args;  // "IN" is the executable, other names live in the test directory
  const char* message;
};

TEST_F(PackTest, EveryRefusedInputExitsWithStatus2AndLeavesNoFile) {
  Bytes two_blocks = original_;
  PayloadImage image;
  std::string error;
  ASSERT_TRUE(image.Locate(original_, kPayloadTag, error));
  two_blocks.insert(two_blocks.end(), original_.begin() + image.BlockOffset(),
                    original_.begin() + image.BlockOffset() + payload_layout::kBlockSize);
  Write(Path("two-blocks"), two_blocks);
  Write(Path("no-block"), RandomBytes(200000, 7));
  Write(Path("empty.bin"), Bytes{});
  Write(Path("huge.bin"), Bytes(16389, 1));
  Write(Path("tagged.bin"), std::string("xx@DEREV#yy"));
  Write(Path("text.bmp"), std::string("not a picture at all, just text"));
  Bytes wrong_size = MakeBitmap(8, 8), cut = MakeBitmap(8, 8), deep = MakeBitmap(8, 8);
  PutLe32(wrong_size, 2, 1000);
  cut.resize(cut.size() - 10);
  PutLe32(cut, 2, static_cast<uint32_t>(cut.size()));
  deep[28] = 7;
  Write(Path("wrong-size.bmp"), wrong_size), Write(Path("cut.bmp"), cut), Write(Path("deep.bmp"), deep);
  Write(Path("big.bmp"), MakeBitmap(200, 200));
  Write(Path("line255.txt"), "ok\n" + std::string(255, 'x') + "\n");
  Write(Path("line254.txt"), std::string(254, 'x') + "\nnext\n");
  std::string lines27;
  for (int i = 0; i < 27; ++i) lines27 += "line\n";
  Write(Path("lines27.txt"), lines27);
  ASSERT_EQ(link(input_.c_str(), Path("hard-link").c_str()), 0);

  const std::vector<Refusal> refusals = {
      {"no tag", {"set", "no-block", "--firmware", "huge.bin"}, "tag \"@DEREV#\" is missing"},
      {"two blocks", {"set", "two-blocks", "--firmware", "huge.bin"}, "marks 2 payload blocks"},
      {"empty firmware", {"set", "IN", "--firmware", "empty.bin"}, "is 0 bytes"},
      {"firmware too big", {"set", "IN", "--firmware", "huge.bin"}, "is 16389 bytes"},
      {"tag in firmware", {"set", "IN", "--firmware", "tagged.bin"}, "contains the block's tag"},
      {"not a bitmap", {"set", "IN", "--picture", "text.bmp"}, "not a bitmap file"},
      {"size field", {"set", "IN", "--picture", "wrong-size.bmp"}, "header gives 1000 bytes"},
      {"cut rows", {"set", "IN", "--picture", "cut.bmp"}, "Stream read error"},
      {"bit depth", {"set", "IN", "--picture", "deep.bmp"}, "Bitmap image is not valid"},
      {"picture too big", {"set", "IN", "--picture", "big.bmp"}, "more than the 80016 bytes"},
      {"255 characters", {"set", "IN", "--texts", "line255.txt"}, "line 2 is longer than 254"},
      {"254 and a line feed", {"set", "IN", "--texts", "line254.txt"}, "line 1 is longer than 254"},
      {"27 lines", {"set", "IN", "--texts", "lines27.txt"}, "more than 26 lines"},
      {"missing texts", {"set", "IN", "--texts", "absent.txt"}, "cannot open"},
      {"unknown option", {"set", "IN", "--firmwre", "huge.bin"}, "unknown option"},
  };
  const std::set<std::string> before = Files();
  for (const Refusal& refusal : refusals) {
    std::vector<std::string> args;
    for (const std::string& arg : refusal.args)
      args.push_back(arg == "set" || arg[0] == '-' ? arg : arg == "IN" ? input_ : Path(arg));
    args.insert(args.begin() + 2, {"-o", Path("out")});
    ProgramResult run = Pack(args);
    EXPECT_EQ(run.status, 2) << refusal.fault;
    EXPECT_NE(run.err.find(refusal.message), std::string::npos) << refusal.fault << ": " << run.err;
    EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << refusal.fault << ": " << run.err;
    EXPECT_EQ(Files(), before) << refusal.fault;
  }

  Write(Path("fw.bin"), Bytes{1, 2, 3});
  std::string same_dir = dir_ + "/../" + dir_.substr(dir_.rfind('/') + 1) + "/fwflash";
  for (const std::string& out : {input_, same_dir, Path("hard-link")}) {
    ProgramResult run = Pack({"set", input_, "-o", out, "--firmware", Path("fw.bin")});
    EXPECT_EQ(run.status, 2) << out;
    EXPECT_NE(run.err.find("is the input"), std::string::npos) << run.err;
    ProgramResult extract = Pack({"extract", input_, "--firmware", out});
    EXPECT_EQ(extract.status, 2) << out;
  }
  EXPECT_EQ(Read(input_), original_);
}

TEST_F(PackTest, AFailedWriteLeavesNeitherAPartialFileNorAChangedOutput) {
  Write(Path("fw.bin"), Bytes{1, 2, 3});
  Write(Path("out"), std::string("the old output"));
  const std::set<std::string> before = Files();
  // The system refuses to let the file grow past 64 KiB; the block alone is larger.
  ProgramResult run = RunProgram({"/bin/sh", "-c", "trap '' XFSZ; ulimit -f 64; exec \"$0\" \"$@\"",
                                  BuildPath("fwflash-pack"), "set", input_, "-o", Path("out"),
                                  "--firmware", Path("fw.bin")});
  EXPECT_EQ(run.status, 1) << run.err;
  EXPECT_NE(run.err.find("cannot write"), std::string::npos) << run.err;
  EXPECT_EQ(Files(), before);
  Bytes old = Read(Path("out"));
  EXPECT_EQ(std::string(old.begin(), old.end()), "the old output");
}

}  // namespace
