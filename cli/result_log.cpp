#include "cli/result_log.h"

#include <cerrno>
#include <cstring>
#include <ctime>

#include "toolkit/text_encoding.h"

namespace {

std::string UtcNow() {
  const std::time_t now = std::time(nullptr);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", std::gmtime(&now));
  return text;
}

// A value that a reader splits at blanks: quoted, with its quotes and backslashes escaped.
std::string Quoted(const std::string& text) {
  std::string quoted = "\"";
  for (char c : text) quoted += (c == '"' || c == '\\') ? std::string("\\") + c : std::string(1, c);
  return quoted + "\"";
}

}  // namespace

ResultLog::~ResultLog() {
  if (file_ != nullptr) std::fclose(file_);
}

bool ResultLog::Open(const std::string& path, std::string& error) {
  file_ = std::fopen(path.c_str(), "ab");
  if (file_ == nullptr) error = "cannot open the log " + path + ": " + std::strerror(errno);
  return file_ != nullptr;
}

void ResultLog::DeviceFinished(const StationResult& result) {
  if (file_ == nullptr) return;
  const std::string label = LabelOf(labels_, result.port);  // its characters need no quotes
  char figures[160];
  std::snprintf(figures, sizeof figures, " bytes=%u/%u seconds=%.2f firmware_size=%zu crc32=0x%08X",
                result.accepted, result.size, result.seconds, image_.bytes.size(), image_.crc32);
  std::lock_guard<std::mutex> lock(mutex_);  // std::gmtime's buffer too
  std::string line = UtcNow() + (label.empty() ? "" : " label=" + label) +
                     " port=" + Quoted(DisplayText(result.port)) +
                     " result=" + (result.ok ? "ok" : "failed") + figures;
  if (result.serial) line += " serial=" + std::to_string(*result.serial);
  if (!result.ok) {
    line += " step=" + result.step + " byte=" + std::to_string(StoppedAtByte(result));
  }
  if (!result.messages.empty()) line += " messages=" + Quoted(JoinedMessages(result.messages));
  if (!result.ok) line += " reason=" + Quoted(result.reason) + " hint=" + Quoted(result.hint);
  line += "\n";
  std::fwrite(line.data(), 1, line.size(), file_);
  std::fflush(file_);
}
