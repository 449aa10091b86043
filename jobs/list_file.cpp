#include "jobs/list_file.h"

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "jobs/field_format.h"
#include "secrets/sha256.h"

namespace {

// One CSV row's fields (RFC 4180 quoting, within the line).
bool CsvFields(const std::string& line, std::vector<std::string>& fields) {
  fields.assign(1, "");
  bool quoted = false;
  for (size_t i = 0; i < line.size(); ++i) {
    const char c = line[i];
    if (quoted && c == '"' && i + 1 < line.size() && line[i + 1] == '"') {
      fields.back() += '"';
      ++i;
    } else if (c == '"') {
      quoted = !quoted;
    } else if (c == ',' && !quoted) {
      fields.emplace_back();
    } else {
      fields.back() += c;
    }
  }
  return !quoted;
}

}  // namespace

bool ReadListFile(const std::string& path, const std::string& column, ListImport& import,
                  std::string& fileSha256, std::string& error) {
  std::ifstream file(std::filesystem::u8path(path), std::ios::binary);
  std::stringstream bytes;
  if (!file || !(bytes << file.rdbuf())) {
    error = "cannot read the list file " + path;
    return false;
  }
  const std::string text = bytes.str();
  fileSha256 = Sha256Hex(text);
  const ListInfo& list = import.list;
  std::map<std::string, size_t> seen;  // digest: its line
  std::istringstream lines(text);
  std::string line;
  size_t number = 0;
  int columnAt = column.empty() ? 0 : -1;
  import.items.clear();
  while (std::getline(lines, line)) {
    ++number;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty()) continue;
    const std::string where = path + " line " + std::to_string(number) + ": ";
    std::string value = line;
    if (!column.empty()) {
      std::vector<std::string> fields;
      if (!CsvFields(line, fields)) {
        error = where + "a quote is not closed";
        return false;
      }
      if (columnAt < 0) {  // the header row
        for (size_t i = 0; i < fields.size(); ++i)
          if (fields[i] == column) columnAt = static_cast<int>(i);
        if (columnAt < 0) {
          error = where + "the header row has no column " + column;
          return false;
        }
        continue;
      }
      if (static_cast<size_t>(columnAt) >= fields.size()) {
        error = where + "the row has no column " + column;
        return false;
      }
      value = fields[static_cast<size_t>(columnAt)];
    }
    ListImport::Item item;
    item.line = number;
    if (!ReadItem(list.kind, list.length, value, item.text, error)) {
      error = where + error;
      return false;
    }
    item.digest = Sha256Hex(ItemBytes(list.kind, list.length, item.text));
    const auto earlier = seen.emplace(item.digest, number);
    if (!earlier.second) {
      error = where + "the same item as line " + std::to_string(earlier.first->second);
      return false;
    }
    import.items.push_back(std::move(item));
  }
  if (!import.items.empty()) return true;
  error = path + " holds no item";
  return false;
}
