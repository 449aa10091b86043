// fwflash-boot-image: the reference bootloader's image made from an application binary,
// unsigned (the header that says how many bytes to ask for) or signed with an Ed25519
// key; keys made; an image's header shown and checked. Exit status 0, 1 when it failed,
// 2 for a bad command line.
#include <sodium.h>

#include <CLI/CLI.hpp>
#include <csignal>
#include <cstdio>
#include <fstream>

#include "bootloader/core/fwboot_image.h"
#include "bootloader/crypto/fwboot_signed_check.h"
#include "files/whole_file.h"
#include "tools/boot-image/key_files.h"
#include "tools/boot-image/sign_command.h"
#include "tools/boot-image/signed_image.h"

namespace {

constexpr int kFailed = 1, kBadCommandLine = 2;

struct Options {
  std::vector<std::string> files;  // APP OUT
  std::string newKey, show, key, signKey, version;
  std::vector<std::string> signCommand, regions;
  uint32_t counter = 0;
  bool counterGiven = false;
};

int Fail(const std::string& what) {
  std::fprintf(stderr, "fwflash-boot-image: %s\n", what.c_str());
  return kFailed;
}

int BadCommandLine(const std::string& what) {
  std::fprintf(stderr, "fwflash-boot-image: %s (--help lists the options)\n", what.c_str());
  return kBadCommandLine;
}

bool WriteImage(const std::string& path, const std::vector<uint8_t>& header, const std::vector<uint8_t>& app) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(header.data()), static_cast<std::streamsize>(header.size()));
  out.write(reinterpret_cast<const char*>(app.data()), static_cast<std::streamsize>(app.size()));
  out.close();
  if (out) return true;
  std::remove(path.c_str());
  return false;
}

int MakeUnsigned(const Options& options, const std::vector<uint8_t>& app) {
  if (app.empty() || app.size() > 0xFFFFFFFFu - FWBOOT_HEADER_SIZE)
    return Fail(options.files[0] + " has no bytes, or too many for a 32-bit length");
  std::vector<uint8_t> header(FWBOOT_HEADER_SIZE);
  fwboot_make_header(header.data(), static_cast<uint32_t>(app.size()));
  return WriteImage(options.files[1], header, app) ? 0 : Fail("cannot write " + options.files[1]);
}

// The signature of the header, by the private key's file or by the signing command.
bool Sign(const Options& options, const std::vector<uint8_t>& bytes, PrivateKey& key, Signature& signature,
          std::string& error) {
  if (!options.signCommand.empty()) return SignWithCommand(options.signCommand, bytes, signature, error);
  const bool signed_ = crypto_sign_ed25519_detached(signature.data(), nullptr, bytes.data(), bytes.size(), key.data()) == 0;
  if (!signed_) error = "libsodium could not sign";
  return signed_;
}

int MakeSigned(const Options& options, const std::vector<uint8_t>& app) {
  fwboot_signed_header header{};
  header.counter = options.counter;
  std::vector<fwboot_region> regions(options.regions.size());
  std::string error;
  if (!ParseVersion(options.version, header, error)) return BadCommandLine(error);
  for (size_t i = 0; i < regions.size(); ++i)
    if (!ParseRegion(options.regions[i], regions[i], error)) return BadCommandLine(error);

  PrivateKey key{};
  PublicKey publicKey;
  if (sodium_init() < 0) return Fail("libsodium cannot start");
  const bool keyRead = options.signCommand.empty() ? ReadPrivateKey(options.signKey, key, error)
                                                   : ReadPublicKey(options.key, publicKey, error);
  if (!keyRead) return Fail(error);
  if (options.signCommand.empty()) std::copy(key.begin() + 32, key.end(), publicKey.begin());

  Signature signature;
  const bool made = PrepareHeader(app, regions, publicKey, header, error) &&
                    Sign(options, SignedBytes(header), key, signature, error);
  WipeKey(key);
  if (!made) return Fail(error);
  std::copy(signature.begin(), signature.end(), header.signature);
  const std::vector<uint8_t> bytes = HeaderBytes(header);
  // A signing command may hold another key than the one named: what does not verify
  // here would not verify on the device.
  if (fwboot_signed_header_verifies(bytes.data(), &header, publicKey.data()) != 1)
    return Fail("the signature does not verify with the public key " + options.key + ": the signing command holds another key");
  return WriteImage(options.files[1], bytes, app) ? 0 : Fail("cannot write " + options.files[1]);
}

int Show(const Options& options) {
  std::vector<uint8_t> image;
  std::string error;
  PublicKey key;
  if (!ReadWholeFile(options.show, image, error)) return Fail(error);
  if (!options.key.empty() && !ReadPublicKey(options.key, key, error)) return Fail(error);
  bool good = false;
  std::fputs(DescribeImage(image, options.key.empty() ? nullptr : &key, good).c_str(), stdout);
  return good ? 0 : kFailed;
}

// Which of the four things the command line asks for, and whether it says all it needs.
std::string Misuse(const Options& options) {
  const bool signing = !options.signKey.empty() || !options.signCommand.empty();
  if (!options.newKey.empty() || !options.show.empty()) {
    if (!options.files.empty() || signing || !options.version.empty() || options.counterGiven || !options.regions.empty())
      return "--new-key and --show stand alone (--show takes --key)";
    return !options.newKey.empty() && !options.key.empty() ? "--new-key takes no --key" : "";
  }
  if (options.files.size() != 2) return "APP and OUT expected";
  if (!signing)
    return options.version.empty() && !options.counterGiven && options.regions.empty() && options.key.empty()
               ? ""
               : "--version, --counter, --region and --key sign: --sign or --sign-command is missing";
  if (!options.signKey.empty() && !options.signCommand.empty()) return "--sign or --sign-command, not both";
  if (options.version.empty() || !options.counterGiven) return "a signed image needs --version and --counter";
  if (!options.signCommand.empty() && options.key.empty())
    return "--sign-command needs --key NAME.pub (its id goes into the header; the signature is checked with it)";
  if (options.signCommand.empty() && !options.key.empty()) return "--sign takes the public key from NAME.key: no --key";
  return "";
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app(
      "fwflash-boot-image: the reference bootloader's image of an application, unsigned or signed\n"
      "  fwflash-boot-image APP OUT\n"
      "  fwflash-boot-image APP OUT --sign NAME.key --version X.Y.Z --counter N [--region OFFSET:LENGTH]...\n"
      "  fwflash-boot-image APP OUT --sign-command PROGRAM [--sign-arg ARG]... --key NAME.pub --version X.Y.Z --counter N\n"
      "  fwflash-boot-image --new-key NAME\n"
      "  fwflash-boot-image --show OUT [--key NAME.pub]",
      "fwflash-boot-image");
  Options options;
  std::string signProgram;
  std::vector<std::string> signArgs;
  app.add_option("files", options.files, "the application binary and the image to write")->type_name("APP OUT");
  app.add_option("--new-key", options.newKey, "write a new Ed25519 key pair: NAME.key (private, mode 0600), NAME.pub")
      ->type_name("NAME");
  app.add_option("--sign", options.signKey, "sign with this private key")->type_name("NAME.key");
  app.add_option("--sign-command", signProgram,
                 "sign with this program: the bytes to sign on its input, the 64-byte signature on its output")
      ->type_name("PROGRAM");
  app.add_option("--sign-arg", signArgs, "an argument for the signing program (repeatable)")->type_name("ARG");
  app.add_option("--version", options.version, "the application's version")->type_name("X.Y.Z");
  app.add_option("--counter", options.counter,
                 "the security counter: a device takes no image with a lower one (raise it for a security fix)")
      ->type_name("N");
  app.add_option("--region", options.regions,
                 "bytes a production line writes after signing, blank (all 0x00 or all 0xFF) in APP; "
                 "counted from the application's first byte (repeatable, at most 8)")
      ->type_name("OFFSET:LENGTH");
  app.add_option("--show", options.show, "print an image's header and check its hash (and signature, with --key)")
      ->type_name("OUT");
  app.add_option("--key", options.key, "the public key that checks the signature")->type_name("NAME.pub");
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& error) {
    return app.exit(error) == 0 ? 0 : kBadCommandLine;
  }
  options.counterGiven = app.count("--counter") > 0;
  if (!signProgram.empty()) {
    options.signCommand = {signProgram};
    options.signCommand.insert(options.signCommand.end(), signArgs.begin(), signArgs.end());
  } else if (!signArgs.empty()) {
    return BadCommandLine("--sign-arg without --sign-command");
  }
  const std::string misuse = Misuse(options);
  if (!misuse.empty()) return BadCommandLine(misuse);

  std::signal(SIGPIPE, SIG_IGN);  // a signing command that ends early is told, not fatal
  std::string error;
  if (!options.newKey.empty()) {
    if (!MakeKeyPair(options.newKey, error)) return Fail(error);
    std::printf("wrote %s.key (private, mode 0600) and %s.pub\n", options.newKey.c_str(), options.newKey.c_str());
    return 0;
  }
  if (!options.show.empty()) return Show(options);
  std::vector<uint8_t> application;
  if (!ReadWholeFile(options.files[0], application, error)) return Fail(error);
  return options.signKey.empty() && options.signCommand.empty() ? MakeUnsigned(options, application)
                                                                : MakeSigned(options, application);
}
