#include "tools/vdev/fault.h"

#include <cstdio>
#include <cstdlib>

namespace {

struct PointName {
  const char* name;
  FaultPoint point;
};

constexpr PointName kPoints[] = {
    {"sync", FaultPoint::SyncAnswer},         {"request", FaultPoint::Request},
    {"echo", FaultPoint::Echo},               {"end-request", FaultPoint::EndRequest},
    {"end-echo", FaultPoint::EndEcho},        {"hang-up", FaultPoint::HangUp},
};

// A whole number in decimal or 0x hexadecimal, up to limit.
bool ParseNumber(const std::string& text, unsigned long limit, unsigned long& value) {
  if (text.empty()) return false;
  char* end = nullptr;
  value = std::strtoul(text.c_str(), &end, 0);
  return *end == '\0' && text[0] != '-' && value <= limit;
}

}  // namespace

bool ParseFault(const std::string& text, Fault& fault) {
  size_t equals = text.find('=');
  std::string place = text.substr(0, equals);
  size_t atSign = place.find('@');
  std::string name = place.substr(0, atSign);

  fault = Fault{};
  bool known = false;
  for (const PointName& entry : kPoints) {
    if (name == entry.name) {
      fault.point = entry.point;
      known = true;
    }
  }
  if (!known) return false;

  bool isSync = fault.point == FaultPoint::SyncAnswer;
  if (isSync != (atSign == std::string::npos)) return false;
  if (!isSync) {
    bool endRound = fault.point == FaultPoint::EndRequest || fault.point == FaultPoint::EndEcho;
    unsigned long at;
    if (!ParseNumber(place.substr(atSign + 1), endRound ? 2 : UINT32_MAX, at) || at == 0) {
      return false;
    }
    fault.at = static_cast<uint32_t>(at);
  }

  if (equals == std::string::npos) return true;
  if (fault.point == FaultPoint::HangUp) return false;
  std::string value = text.substr(equals + 1);
  if (value == "none") {
    fault.silent = true;
    return true;
  }
  unsigned long byte;
  if (!ParseNumber(value, 0xFF, byte)) return false;
  fault.hasByte = true;
  fault.byte = static_cast<uint8_t>(byte);
  return true;
}

const Fault* FindFault(const std::vector<Fault>& faults, FaultPoint point, uint32_t at) {
  for (const Fault& fault : faults) {
    if (fault.point == point && fault.at == at) return &fault;
  }
  return nullptr;
}

std::string FaultText(const Fault& fault) {
  std::string text;
  for (const PointName& entry : kPoints) {
    if (entry.point == fault.point) text = entry.name;
  }
  if (fault.point != FaultPoint::SyncAnswer) text += "@" + std::to_string(fault.at);
  if (fault.silent) return text + "=none";
  if (!fault.hasByte) return text;
  char byte[8];
  std::snprintf(byte, sizeof byte, "=0x%02X", fault.byte);
  return text + byte;
}
