// fwflash-pack: shows, replaces and extracts the firmware, the picture and the default
// texts inside a built fwflash, so that one build serves every product and release.
// Everything is checked before anything is written; the input is never changed.
#include <sys/stat.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "device/crc32.h"
#include "files/whole_file.h"
#include "payload/payload_image.h"
#include "payload/payload_tag.h"
#include "tools/pack/pack_files.h"
#include "tools/pack/picture_check.h"

namespace {

constexpr int kDone = 0, kWriteFailed = 1, kRefused = 2;

const char kUsage[] =
    "usage: fwflash-pack show EXE\n"
    "       fwflash-pack set EXE -o OUT [--firmware FILE] [--picture FILE] [--texts FILE]\n"
    "       fwflash-pack extract EXE [--firmware OUT] [--picture OUT] [--texts OUT]\n"
    "\n"
    "show     prints the picture's size and dimensions, the firmware's size and CRC-32\n"
    "         and the 26 default texts, escaped, with their slot numbers.\n"
    "set      writes OUT: EXE with the given parts replaced. The firmware takes 1 to 16388\n"
    "         bytes, the picture is a bitmap file of at most 80016 bytes, and the texts\n"
    "         file is read exactly as the program reads deflang.txt: line k becomes\n"
    "         text k with its line feed, later texts keep theirs. A line longer than\n"
    "         254 characters with its line feed, or a 27th line, is refused.\n"
    "extract  writes the stored parts to files; texts as a language file, one per line.\n"
    "\n"
    "Exit status: 0 done, 2 refused (nothing written), 1 writing failed (nothing left).\n";

int Refuse(const std::string& message) {
  std::fprintf(stderr, "fwflash-pack: %s\n", message.c_str());
  return kRefused;
}

// The command's one positional argument and its options, each given at most once.
struct Arguments {
  std::string command, executable;
  std::map<std::string, std::string> options;
};

bool ParseArguments(const std::vector<std::string>& args, Arguments& parsed, std::string& error) {
  parsed.command = args[0];
  std::vector<std::string> allowed = {"--firmware", "--picture", "--texts"};
  if (parsed.command == "set") allowed.push_back("-o");
  else if (parsed.command == "show") allowed.clear();
  else if (parsed.command != "extract") return error = "unknown command \"" + args[0] + "\"", false;
  for (size_t i = 1; i < args.size(); ++i) {
    const std::string& arg = args[i];
    bool known = false;
    for (const std::string& option : allowed) known = known || option == arg;
    if (known) {
      if (i + 1 == args.size()) return error = arg + " needs a file name", false;
      if (!parsed.options.emplace(arg, args[++i]).second) return error = arg + " given twice", false;
    } else if (arg.size() > 1 && arg[0] == '-') {
      return error = "unknown option \"" + arg + "\" for " + parsed.command, false;
    } else if (parsed.executable.empty()) {
      parsed.executable = arg;
    } else {
      return error = "unexpected argument \"" + arg + "\"", false;
    }
  }
  if (parsed.executable.empty()) return error = parsed.command + " needs an executable", false;
  if (parsed.command == "set" && !parsed.options.count("-o")) return error = "set needs -o OUT", false;
  if (parsed.command != "show" && parsed.options.size() == (parsed.command == "set" ? 1u : 0u))
    return error = parsed.command + " needs --firmware, --picture or --texts", false;
  return true;
}

std::string Escaped(const std::string& text) {
  std::string out = "\"";
  for (unsigned char c : text) {
    if (c == '\n') out += "\\n";
    else if (c == '\t') out += "\\t";
    else if (c == '"' || c == '\\') out += '\\', out += static_cast<char>(c);
    else if (c < 0x20 || c >= 0x7F) {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\x%02X", c);
      out += hex;
    } else out += static_cast<char>(c);
  }
  return out + "\"";
}

int Show(const PayloadImage& image) {
  std::vector<uint8_t> picture = image.Picture(), firmware = image.Firmware();
  int64_t width = 0, height = 0;
  std::printf("picture: %zu bytes", picture.size());
  if (PictureDimensions(picture, width, height))
    std::printf(", %lld x %lld pixels", static_cast<long long>(width), static_cast<long long>(height));
  std::printf("\nfirmware: %zu bytes, CRC-32 0x%08X\n", firmware.size(),
              Crc32(firmware.data(), firmware.size()));
  for (size_t slot = 0; slot < payload_layout::kTextSlotCount; ++slot)
    std::printf("text %2zu: %s\n", slot, Escaped(image.Text(slot)).c_str());
  return kDone;
}

bool ContainsTag(const std::vector<uint8_t>& bytes) {
  std::string text(bytes.begin(), bytes.end());
  return text.find(kPayloadTag) != std::string::npos;
}

// Reads and checks every replacement; stores them in the image only when all are good.
int Set(PayloadImage& image, const Arguments& args, const mode_t mode) {
  std::string error, out = args.options.at("-o");
  std::vector<uint8_t> firmware, picture;
  std::vector<std::string> texts;
  auto given = [&](const char* option) { return args.options.count(option) != 0; };
  if (given("--firmware")) {
    const std::string& path = args.options.at("--firmware");
    if (!ReadWholeFile(path, firmware, error)) return Refuse(error);
    if (firmware.empty() || firmware.size() > payload_layout::kFirmwareCapacity)
      return Refuse("firmware " + path + " is " + std::to_string(firmware.size()) +
                    " bytes; it must be 1 to " + std::to_string(payload_layout::kFirmwareCapacity));
    if (ContainsTag(firmware)) return Refuse("firmware " + path + " contains the block's tag \"@DEREV#\"");
  }
  if (given("--picture")) {
    const std::string& path = args.options.at("--picture");
    if (!ReadWholeFile(path, picture, error)) return Refuse(error);
    if (!CheckPictureBytes(picture, error)) return Refuse("picture " + path + " " + error);
    if (ContainsTag(picture)) return Refuse("picture " + path + " contains the block's tag \"@DEREV#\"");
  }
  if (given("--texts")) {
    if (!ReadTextsFile(args.options.at("--texts"), texts, error)) return Refuse(error);
    for (const std::string& text : texts)
      if (text.find(kPayloadTag) != std::string::npos)
        return Refuse("a text contains the block's tag \"@DEREV#\"");
  }
  if (out == args.executable || SameFile(out, args.executable))
    return Refuse("the output " + out + " is the input; the input is never changed");

  if (given("--firmware")) image.SetFirmware(firmware);
  if (given("--picture")) image.SetPicture(picture);
  for (size_t slot = 0; slot < texts.size(); ++slot) image.SetText(slot, texts[slot]);
  if (!WriteFileReplacing(out, image.Bytes(), mode, error)) {
    std::fprintf(stderr, "fwflash-pack: %s\n", error.c_str());
    return kWriteFailed;
  }
  return kDone;
}

int Extract(const PayloadImage& image, const Arguments& args) {
  std::map<std::string, std::vector<uint8_t>> files;  // output name -> contents
  for (const auto& [option, path] : args.options) {
    if (path == args.executable || SameFile(path, args.executable))
      return Refuse("the output " + path + " is the input; the input is never changed");
    std::string texts;
    if (option == "--texts") {
      std::vector<std::string> slots;
      for (size_t slot = 0; slot < payload_layout::kTextSlotCount; ++slot) slots.push_back(image.Text(slot));
      texts = TextsFileContents(slots);
    }
    files[path] = option == "--firmware"  ? image.Firmware()
                  : option == "--picture" ? image.Picture()
                                          : std::vector<uint8_t>(texts.begin(), texts.end());
  }
  if (files.size() != args.options.size()) return Refuse("two parts cannot go to one file");
  mode_t mask = umask(0);
  umask(mask);
  for (const auto& [path, bytes] : files) {
    std::string error;
    if (!WriteFileReplacing(path, bytes, 0666 & ~mask, error)) {
      std::fprintf(stderr, "fwflash-pack: %s\n", error.c_str());
      return kWriteFailed;
    }
  }
  return kDone;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  for (const std::string& arg : args) {
    if (arg == "--help" || arg == "-h") {
      std::fputs(kUsage, stdout);
      return kDone;
    }
  }
  if (args.empty()) {
    std::fputs(kUsage, stderr);
    return kRefused;
  }
  Arguments parsed;
  std::string error;
  if (!ParseArguments(args, parsed, error)) return Refuse(error + " (see fwflash-pack --help)");

  std::vector<uint8_t> bytes;
  mode_t mode = 0;
  PayloadImage image;
  if (!ReadWholeFile(parsed.executable, bytes, error) || !FileMode(parsed.executable, mode))
    return Refuse(error.empty() ? "cannot read " + parsed.executable : error);
  if (!image.Locate(std::move(bytes), kPayloadTag, error)) return Refuse(parsed.executable + ": " + error);

  if (parsed.command == "show") return Show(image);
  if (parsed.command == "set") return Set(image, parsed, mode);
  return Extract(image, parsed);
}
