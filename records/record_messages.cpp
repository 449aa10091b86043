#include "records/record_messages.h"

#include <cstdio>
#include <utility>

namespace {

void AppendQuoted(std::string& out, const std::string& text) {
  out += '"';
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (byte < 0x20) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04x", byte);
      out += escaped;
    } else {
      out += c;  // UTF-8 bytes as they are
    }
  }
  out += '"';
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

void AppendUtf8(std::string& out, unsigned code) {
  if (code < 0x80) {
    out += static_cast<char>(code);
  } else if (code < 0x800) {
    out += static_cast<char>(0xC0 | (code >> 6));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else {
    out += static_cast<char>(0xE0 | (code >> 12));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  }
}

// Reads one quoted string at text[at] (the opening quote), leaving at after its closing one.
bool ReadQuoted(const std::string& text, size_t& at, std::string& value) {
  value.clear();
  for (++at; at < text.size(); ++at) {
    const char c = text[at];
    if (c == '"') {
      ++at;
      return true;
    }
    if (c != '\\') {
      value += c;
      continue;
    }
    if (++at >= text.size()) return false;
    const char escape = text[at];
    switch (escape) {
      case '"': case '\\': case '/': value += escape; break;
      case 'b': value += '\b'; break;
      case 'f': value += '\f'; break;
      case 'n': value += '\n'; break;
      case 'r': value += '\r'; break;
      case 't': value += '\t'; break;
      case 'u': {
        if (at + 4 >= text.size()) return false;
        unsigned code = 0;
        for (int i = 1; i <= 4; ++i) {
          const int digit = HexValue(text[at + i]);
          if (digit < 0) return false;
          code = code * 16 + static_cast<unsigned>(digit);
        }
        AppendUtf8(value, code);
        at += 4;
        break;
      }
      default: return false;
    }
  }
  return false;
}

}  // namespace

std::string EncodeMessages(const std::vector<std::string>& messages) {
  std::string out = "[";
  for (size_t i = 0; i < messages.size(); ++i) {
    if (i > 0) out += ',';
    AppendQuoted(out, messages[i]);
  }
  return out + "]";
}

bool DecodeMessages(const std::string& text, std::vector<std::string>& messages) {
  messages.clear();
  size_t at = 0;
  if (text.empty() || text[at++] != '[') return false;
  if (at < text.size() && text[at] == ']') return at + 1 == text.size();
  for (;;) {
    if (at >= text.size() || text[at] != '"') return false;
    std::string value;
    if (!ReadQuoted(text, at, value)) return false;
    messages.push_back(std::move(value));
    if (at >= text.size()) return false;
    if (text[at] == ']') return at + 1 == text.size();
    if (text[at++] != ',') return false;
  }
}
