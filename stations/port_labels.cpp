#include "stations/port_labels.h"

#include <cctype>
#include <set>

namespace {

constexpr size_t kMaxLabel = 16;

bool LabelCharacter(char c) {
  return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '_' || c == '.' || c == '-';
}

bool ValidLabel(const std::string& text) {
  if (text.empty() || text.size() > kMaxLabel) return false;
  for (char c : text)
    if (!LabelCharacter(c)) return false;
  return true;
}

// COM1, com12: the name Windows gives a serial port.
bool ComName(const std::string& text) {
  if (text.size() < 4) return false;
  for (size_t i = 0; i < 3; ++i)
    if (std::toupper(static_cast<unsigned char>(text[i])) != "COM"[i]) return false;
  for (size_t i = 3; i < text.size(); ++i)
    if (std::isdigit(static_cast<unsigned char>(text[i])) == 0) return false;
  return true;
}

// /dev/ttyUSB0, \\.\COM10, C:\ports\x or C:/ports/x: a path that does not depend on the
// folder the program runs in.
bool AbsolutePath(const std::string& text) {
  if (!text.empty() && (text[0] == '/' || text[0] == '\\')) return true;
  return text.size() >= 3 && std::isalpha(static_cast<unsigned char>(text[0])) != 0 &&
         text[1] == ':' && (text[2] == '\\' || text[2] == '/');
}

}  // namespace

void SplitPortLabel(const std::string& value, std::string& label, std::string& path) {
  const size_t equals = value.find('=');
  label.clear();
  path = value;
  if (equals == std::string::npos) return;
  const std::string before = value.substr(0, equals), after = value.substr(equals + 1);
  if (!ValidLabel(before) || !(AbsolutePath(after) || ComName(after))) return;
  label = before;
  path = after;
}

bool TakePortLabels(std::vector<std::string>& ports, PortLabels& labels, std::string& error) {
  std::set<std::string> taken;
  for (std::string& port : ports) {
    std::string label, path;
    SplitPortLabel(port, label, path);
    port = path;
    if (label.empty()) continue;
    if (!taken.insert(label).second) {
      error = "the label " + label + " is given to two stations";
      return false;
    }
    labels[path] = label;
  }
  return true;
}

std::string LabelOf(const PortLabels& labels, const std::string& port) {
  const auto found = labels.find(port);
  return found != labels.end() ? found->second : std::string();
}

std::string StationName(const PortLabels& labels, const std::string& port) {
  const std::string label = LabelOf(labels, port);
  return label.empty() ? port : label + " " + port;
}
