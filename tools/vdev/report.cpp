#include "tools/vdev/report.h"

#include <cstdio>
#include <sstream>

namespace {

// The data bytes of the conversation, in a file of their own, whole before the report
// that tells of them.
void SaveData(const Options& options, int number, const ConversationRecord& record) {
  const std::string path = options.dataPrefix + "-" + std::to_string(number) + ".bin";
  std::FILE* file = std::fopen(path.c_str(), "wb");
  // An empty conversation's data() may be null, which fwrite must not be given.
  const bool written = file != nullptr && (record.data.empty() ||
                       std::fwrite(record.data.data(), 1, record.data.size(), file) == record.data.size());
  if (file == nullptr || std::fclose(file) != 0 || !written) {
    std::fprintf(stderr, "fwflash-vdev: cannot write %s\n", path.c_str());
  }
}

}  // namespace

void ReportConversation(const Options& options, int number, int complete, const ConversationRecord& record) {
  if (!options.dataPrefix.empty()) SaveData(options, number, record);
  const char* matches = ConversationMatches(options, record) ? "yes" : "no";
  const char* faults = record.faults.empty() ? "none" : record.faults.c_str();
  if (!options.quiet) {
    std::fprintf(stderr,
                 "fwflash-vdev: conversation %d: %s, %zu data bytes, %d end rounds, "
                 "%llu bytes received, %llu sent, faults: %s%s%s\n",
                 number, EndingName(record.ending), record.data.size(), record.endRounds,
                 static_cast<unsigned long long>(record.received),
                 static_cast<unsigned long long>(record.sent), faults,
                 options.expecting ? ", matches expected: " : "", options.expecting ? matches : "");
  }
  if (options.reportFile.empty()) return;

  std::ostringstream text;
  text << "conversation=" << number << "\nending=" << EndingName(record.ending)
       << "\ndata_bytes=" << record.data.size() << "\nend_rounds=" << record.endRounds
       << "\nreceived_bytes=" << record.received << "\nsent_bytes=" << record.sent
       << "\nfaults=" << faults << "\ncomplete_conversations=" << complete << "\n";
  if (options.expecting) text << "matches_expected=" << matches << "\n";

  std::string temporary = options.reportFile + ".tmp";
  std::FILE* file = std::fopen(temporary.c_str(), "w");
  if (file == nullptr) {
    std::fprintf(stderr, "fwflash-vdev: cannot write %s\n", temporary.c_str());
    return;
  }
  std::string contents = text.str();
  bool written = std::fwrite(contents.data(), 1, contents.size(), file) == contents.size();
  if (std::fclose(file) != 0 || !written || std::rename(temporary.c_str(), options.reportFile.c_str()) != 0) {
    std::fprintf(stderr, "fwflash-vdev: cannot write %s\n", options.reportFile.c_str());
  }
}
