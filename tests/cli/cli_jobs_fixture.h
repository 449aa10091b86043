// Production jobs end to end: a job file with four fields (serial, a MAC block, a secret
// password list, a generated device key), the boards' received images taken apart, the
// records' fields, and every artifact searched for the secrets given out.
//
//   JobImage()                       the test image with a 64-byte blank placeholder
//   JobsTest::WriteJob(record, more) the four-field job in the test's folder; more is
//                                    appended (other keys, a changed generator)
//   JobsTest::ImportPasswords(n)     n random 12-character passwords into the secret
//                                    list "passwords"; kept for the search
//   JobsTest::GivenKeys()            the device keys the generator printed (it also
//                                    writes each one to a file of the test's)
//   Given                            one device's four values, read from its image
//   JobsTest::ReceivedDevices()      every image the boards received, taken apart; the
//                                    rest of each image must be the base image's
//   ExpectNone(what, text, secrets)  none of the secrets in the text
#pragma once

#include <dirent.h>
#include <sys/stat.h>

#include <random>
#include <set>

#include <poll.h>

#include "records/record_store.h"
#include "secrets/sha256.h"
#include "tests/cli/cli_records_fixture.h"
#include "tests/support/postgres_server.h"
#include "tests/support/pseudo_terminal_pair.h"

constexpr size_t kSerialField = 0x180, kMacField = 0x184, kPasswordField = 0x18A, kKeyField = 0x196;
constexpr size_t kFieldsEnd = 0x1C0;
constexpr int64_t kFirstMac = 0x0050C2000000;

inline std::vector<uint8_t> JobImage() {
  std::vector<uint8_t> image = BaseImage();
  std::fill(image.begin() + kSerialField, image.begin() + kFieldsEnd, 0xFF);
  return image;
}

struct Given {
  int64_t serial = 0, mac = 0;
  std::string password, key;  // the password's 12 bytes, the key as hex
};

inline std::string Hex(const std::string& bytes) {
  return HexText(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
}

inline std::string FingerprintOf(const std::string& bytes) { return "sha256:" + Sha256Hex(bytes).substr(0, 16); }

class JobsTest : public RecordsTest {
 protected:
  std::string JobPath() const { return Dir() + "/job/acme.toml"; }
  std::string KeysFile() const { return Dir() + "/keys.txt"; }

  // The job's folder holds the image and the generator; the store is named in the job
  // by a path relative to it.
  void WriteJob(const std::string& record, const std::string& more = "", const std::string& keygen = "") {
    mkdir((Dir() + "/job").c_str(), 0700);
    WriteFile("job/acme.bin", JobImage());
    WriteFile("job/keygen", Bytes(keygen.empty() ? KeygenScript() : keygen));
    chmod((Dir() + "/job/keygen").c_str(), 0700);
    const std::string job =
        "product = \"acme-probe\"\n"
        "firmware = \"acme.bin\"\n"
        "record = \"" + record + "\"\n"
        "spool = \"../spool.sqlite\"\n" + more +
        "\n[[field]]\nname = \"serial\"\nat = 0x180\nformat = \"u32le\"\n"
        "counter = { first = 100000, last = 199999 }\n"
        "\n[[field]]\nname = \"mac\"\nat = 0x184\nformat = \"u48be\"\n"
        "counter = { first = 0x0050C2000000, last = 0x0050C2000FFF, step = 8 }\n"
        "\n[[field]]\nname = \"password\"\nat = 0x18A\nformat = \"ascii:12\"\nlist = \"passwords\"\nsecret = true\n"
        "\n[[field]]\nname = \"device_key\"\nat = 0x196\nformat = \"bytes:16\"\ngenerator = \"keygen\"\nsecret = true\n"
        "\n[generator.keygen]\ncommand = [\"./keygen\", \"" + KeysFile() + "\"]\ntimeout_s = 10\n";
    WriteFile("job/acme.toml", Bytes(job));
  }

  // Random keys, each also kept for the test; the environment is checked on the way.
  static std::string KeygenScript() {
    return "#!/usr/bin/python3\n"
           "import json, os, sys\n"
           "assert os.environ['FWFLASH_PRODUCT'] == 'acme-probe' and len(os.environ['FWFLASH_JOB_SHA256']) == 64\n"
           "assert os.environ['FWFLASH_PORT'] and os.environ['FWFLASH_PC']\n"
           "key = os.urandom(16).hex().upper()\n"
           "with open(sys.argv[1], 'a') as f: f.write(key + '\\n')\n"
           "print(json.dumps({'device_key': key}))\n";
  }

  static std::vector<uint8_t> Bytes(const std::string& text) { return std::vector<uint8_t>(text.begin(), text.end()); }

  ProgramResult ImportPasswords(size_t count, const std::string& record) {
    std::mt19937_64 random(std::random_device{}());
    const std::string alphabet = "ABCDEFGHJKLMNPQRSTUVWXYZabcdefghijkmnpqrstuvwxyz23456789!#%";
    std::string file;
    for (size_t i = 0; i < count; ++i) {
      std::string password;
      for (int c = 0; c < 12; ++c) password += alphabet[random() % alphabet.size()];
      passwords_.push_back(password);
      file += password + (i % 2 ? "\r\n" : "\n");
    }
    WriteFile("passwords.txt", Bytes(file));
    return RunCli({"--record", record, "--import-list", "passwords", Dir() + "/passwords.txt", "--list-kind",
                   "text", "--list-length", "12", "--secret"});
  }

  std::vector<std::string> GivenKeys() const {
    std::vector<std::string> keys;
    std::istringstream in(Contents(KeysFile()));
    for (std::string key; std::getline(in, key);) keys.push_back(key);
    return keys;
  }

  // Every image a board received, taken apart; every other byte must be the base's. A
  // conversation cut off (by a kill) is left out when cutOff allows it.
  std::vector<Given> ReceivedDevices(size_t boards, bool cutOff = false) {
    std::vector<Given> devices;
    const std::vector<uint8_t> base = JobImage();
    for (size_t board = 0; board < boards; ++board) {
      DIR* folder = opendir(Dir().c_str());
      const std::string prefix = "data" + std::to_string(board) + "-";
      while (dirent* entry = folder != nullptr ? readdir(folder) : nullptr) {
        const std::string name = entry->d_name;
        if (name.rfind(prefix, 0) != 0) continue;
        const std::string image = Contents(Dir() + "/" + name);
        if (image.empty() || (cutOff && image.size() < kImageSize)) continue;
        EXPECT_EQ(image.size(), kImageSize) << name;
        if (image.size() != kImageSize) continue;
        std::string rest = image;
        std::fill(rest.begin() + kSerialField, rest.begin() + kFieldsEnd, '\xFF');
        EXPECT_EQ(rest, AsText(base)) << name << ": a byte outside the fields changed";
        Given given;
        for (int i = 0; i < 4; ++i) given.serial |= int64_t{uint8_t(image[kSerialField + i])} << (8 * i);
        for (int i = 0; i < 6; ++i) given.mac = given.mac << 8 | uint8_t(image[kMacField + i]);
        given.password = image.substr(kPasswordField, 12);
        given.key = Hex(image.substr(kKeyField, 16));
        EXPECT_EQ(image.substr(kKeyField + 16, kFieldsEnd - kKeyField - 16), std::string(kFieldsEnd - kKeyField - 16, '\xFF'));
        devices.push_back(given);
      }
      if (folder != nullptr) closedir(folder);
    }
    return devices;
  }

  // Each device's four values are distinct from every other's; the MACs step by 8.
  static void ExpectDistinct(const std::vector<Given>& devices) {
    std::set<int64_t> serials, macs;
    std::set<std::string> passwords, keys;
    for (const Given& device : devices) {
      serials.insert(device.serial);
      macs.insert(device.mac);
      passwords.insert(device.password);
      keys.insert(device.key);
      EXPECT_EQ((device.mac - kFirstMac) % 8, 0) << device.mac;
    }
    EXPECT_EQ(serials.size(), devices.size());
    EXPECT_EQ(macs.size(), devices.size());
    EXPECT_EQ(passwords.size(), devices.size());
    EXPECT_EQ(keys.size(), devices.size());
    if (!macs.empty()) {
      EXPECT_EQ(*macs.rbegin() - *macs.begin(), int64_t(8 * (macs.size() - 1))) << "no gap";
    }
  }

  // The fields of a record as JSON: the device's values, its secrets as fingerprints.
  static void ExpectFieldsOf(const Given& device, const nlohmann::json& fields) {
    EXPECT_EQ(fields.value("serial", ""), std::to_string(device.serial));
    EXPECT_EQ(fields.value("mac", ""), std::to_string(device.mac));
    EXPECT_EQ(fields.value("password", ""), FingerprintOf(device.password));
    std::string keyBytes;
    for (size_t i = 0; i < device.key.size(); i += 2) keyBytes += char(std::stoi(device.key.substr(i, 2), nullptr, 16));
    EXPECT_EQ(fields.value("device_key", ""), FingerprintOf(keyBytes));
  }

  // None of the given secrets, as text or hex, in any case.
  void ExpectNoSecretIn(const std::string& what, const std::string& text, const std::vector<Given>& given) {
    std::string lower = text;
    std::transform(lower.begin(), lower.end(), lower.begin(), ::tolower);
    for (const Given& device : given) {
      EXPECT_EQ(text.find(device.password), std::string::npos) << what << " holds a password given";
      std::string key = device.key;
      std::transform(key.begin(), key.end(), key.begin(), ::tolower);
      EXPECT_EQ(lower.find(key), std::string::npos) << what << " holds a key given (hex)";
      std::string keyBytes;
      for (size_t i = 0; i < key.size(); i += 2) keyBytes += char(std::stoi(key.substr(i, 2), nullptr, 16));
      EXPECT_EQ(text.find(keyBytes), std::string::npos) << what << " holds a key given (bytes)";
    }
  }

  // The job's run on the stations first.., with more options.
  std::vector<std::string> JobRun(size_t first, size_t stations, std::vector<std::string> more) {
    std::vector<std::string> args = {"--job", JobPath()};
    for (size_t i = first; i < first + stations; ++i) args.insert(args.end(), {"--port", Link(i)});
    args.insert(args.end(), more.begin(), more.end());
    return args;
  }

  // A job of the image and the store with these fields (TOML text), in the job folder.
  std::string FieldsJob(const std::string& fields, const std::string& top = "") {
    mkdir((Dir() + "/job").c_str(), 0700);
    WriteFile("job/acme.bin", JobImage());
    WriteFile("job/small.toml", Bytes("product = \"acme-probe\"\nfirmware = \"acme.bin\"\n"
                                      "record = \"../records.sqlite\"\nspool = \"../spool.sqlite\"\n" + top + fields));
    return Dir() + "/job/small.toml";
  }


  // The four-field job with four stations, 3 devices each, on the store record (as the
  // job names it), read back by query; storeFiles: the store's own files or dump, searched
  // for secrets with every other artifact.
  using Query = std::function<std::vector<std::vector<std::string>>(const std::string&)>;
  using Artifacts = std::vector<std::pair<std::string, std::string>>;
  void ExpectFourFieldJob(const std::string& record, const Query& query, const std::function<Artifacts()>& storeFiles);

  // A job of a serial field shown as hex and a MAC block shown as MAC addresses, three
  // devices on the store record, its shows checked in the records, the CSV and the report.
  void ExpectShownNumbers(const std::string& record, const Query& query);

  // Runs of two stations killed (SIGKILL) at varied moments, five times.
  void ExpectKilledRunsGiveNoItemTwice(const std::string& record, const std::string& importTo, const Query& query);

  std::vector<std::string> passwords_;
};

// JobsTest with a private PostgreSQL server on a Unix socket.
class JobsPostgresTest : public JobsTest {
 protected:
  void SetUp() override {
    JobsTest::SetUp();
    ASSERT_TRUE(server_.Start(false)) << server_.Failure();
  }
  Query ServerQuery() const {
    return [this](const std::string& sql) { return server_.Query(sql); };
  }
  std::string Dump() const {
    const ProgramResult dump = RunProgram({"/usr/bin/pg_dump", "-d", server_.Uri()});
    EXPECT_EQ(dump.status, 0) << dump.err;
    EXPECT_NE(dump.out.find("fwflash_list_items"), std::string::npos);
    return dump.out;
  }
  PostgresServer server_;
};

