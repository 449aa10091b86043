// Faults the virtual device can play, one per place in the conversation.
//
//   ParseFault(text, fault)   reads "sync=none", "request@3=0x81", "echo@5", "end-echo@2=none",
//                             "hang-up@7" ...; false for anything else
//   FindFault(faults, point, at)   the fault planned for that place, or nullptr
//   FaultText(fault)          the text ParseFault reads back ("echo@5=0x3C"); a fault that
//                             inverts other bits than all has no text of its own and is
//                             written, once played, with the byte it sent
//
// A place is the sync answer, the request or echo of data byte k (from 1), the request or
// echo of end round r (1 or 2), or the moment after data byte k has arrived (hang-up).
// Without "=BYTE" the device sends the right byte with every bit inverted; "=none" sends
// nothing.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

enum class FaultPoint { SyncAnswer, Request, Echo, EndRequest, EndEcho, HangUp };

struct Fault {
  FaultPoint point;
  uint32_t at;      // data byte k or end round r; 0 for the sync answer
  bool silent;      // sends nothing
  bool hasByte;     // sends this byte instead of the right one
  uint8_t byte;
  uint8_t flip = 0xFF;  // otherwise it sends the right byte with these bits inverted

  // What the device sends in place of the right byte.
  uint8_t Replace(uint8_t right) const { return hasByte ? byte : static_cast<uint8_t>(right ^ flip); }
};

bool ParseFault(const std::string& text, Fault& fault);
const Fault* FindFault(const std::vector<Fault>& faults, FaultPoint point, uint32_t at);
std::string FaultText(const Fault& fault);
