// The parts of port listing that are the same on every platform: order, line format and
// the reading of Windows device instance ids (kept here so that they are tested on Linux).
#include "ports/port_list.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>

namespace {

bool IsDigit(char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; }

size_t DigitRunEnd(const std::string& text, size_t start) {
  while (start < text.size() && IsDigit(text[start])) ++start;
  return start;
}

// Compares names with their digit runs taken as numbers, so ttyS2 comes before ttyS10.
bool NaturalLess(const std::string& a, const std::string& b) {
  size_t i = 0, j = 0;
  while (i < a.size() && j < b.size()) {
    if (IsDigit(a[i]) && IsDigit(b[j])) {
      const size_t aEnd = DigitRunEnd(a, i), bEnd = DigitRunEnd(b, j);
      // Port numbers have no leading zeros: more digits make a larger number.
      if (aEnd - i != bEnd - j) return aEnd - i < bEnd - j;
      const int order = a.compare(i, aEnd - i, b, j, bEnd - j);
      if (order != 0) return order < 0;
      i = aEnd, j = bEnd;
    } else {
      if (a[i] != b[j]) return a[i] < b[j];
      ++i, ++j;
    }
  }
  return j < b.size();  // a ran out first: it is a prefix of b
}

// A value as a line shows it: bare when that cannot be misread, else quoted and escaped.
std::string Quoted(const std::string& value) {
  const auto plain = [](unsigned char c) { return c > ' ' && c != '"' && c != '\\' && c != 0x7f; };
  if (!value.empty() && std::all_of(value.begin(), value.end(), plain)) return value;
  std::string quoted = "\"";
  for (const unsigned char c : value) {
    if (c == '"' || c == '\\') {
      quoted += '\\';
      quoted += static_cast<char>(c);
    } else if (c < ' ' || c == 0x7f) {
      char escape[5];
      std::snprintf(escape, sizeof escape, "\\x%02X", c);
      quoted += escape;
    } else {
      quoted += static_cast<char>(c);
    }
  }
  return quoted + '"';
}

void AppendField(std::string& line, const char* separator, const char* key,
                 const std::string& value) {
  if (value.empty()) return;
  line += separator;
  line += key;
  line += '=';
  line += Quoted(value);
}

std::string Lowercase(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

// The four hex digits after `prefix` (vid_, pid_) in an '&'-separated list, lower-cased
// as Linux shows them; empty when there is no such item.
std::string HexItem(const std::string& items, const std::string& prefix) {
  for (size_t start = 0; start <= items.size();) {
    const size_t end = std::min(items.find('&', start), items.size());
    const std::string item = Lowercase(items.substr(start, end - start));
    if (item.size() == prefix.size() + 4 && item.compare(0, prefix.size(), prefix) == 0 &&
        std::all_of(item.begin() + prefix.size(), item.end(),
                    [](unsigned char c) { return std::isxdigit(c) != 0; }))
      return item.substr(prefix.size());
    start = end + 1;
  }
  return {};
}

}  // namespace

void SortByPath(std::vector<ListedPort>& ports) {
  std::sort(ports.begin(), ports.end(),
            [](const ListedPort& a, const ListedPort& b) { return NaturalLess(a.path, b.path); });
}

std::string FormatListedPort(const ListedPort& port) {
  std::string line = Quoted(port.path);
  for (const std::string& link : port.stableNames) {
    // The folder a stable link lives in tells its kind: by-id or by-path.
    const std::string kind = std::filesystem::path(link).parent_path().filename().string();
    AppendField(line, "  ", kind.c_str(), link);
  }
  if (!port.vendorId.empty()) {
    AppendField(line, "  ", "usb", port.vendorId + ':' + port.productId);
    AppendField(line, " ", "serial", port.serial);
    AppendField(line, " ", "manufacturer", port.manufacturer);
    AppendField(line, " ", "product", port.product);
  }
  AppendField(line, "  ", "name", port.friendlyName);
  return line;
}

bool ParseUsbInstanceId(const std::string& instanceId, ListedPort& port) {
  const size_t idsStart = instanceId.find('\\') + 1;  // 0 when there is no enumerator
  const size_t idsEnd = instanceId.find('\\', idsStart);
  if (idsStart == 0 || idsEnd == std::string::npos ||
      Lowercase(instanceId.substr(0, idsStart)) != "usb\\")
    return false;
  const std::string ids = instanceId.substr(idsStart, idsEnd - idsStart);
  const std::string vendorId = HexItem(ids, "vid_"), productId = HexItem(ids, "pid_");
  if (vendorId.empty() || productId.empty()) return false;
  port.vendorId = vendorId;
  port.productId = productId;
  // For a device without a serial number Windows makes one up, always with an '&' in it.
  const std::string instance = instanceId.substr(idsEnd + 1);
  port.serial = instance.find('&') == std::string::npos ? instance : std::string();
  return true;
}
