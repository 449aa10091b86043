// The device's side of one conversation, which it leads:
//
//   device 0x5A to the program's 0xA5; N times: device 0x80, program byte, device echo;
//   twice: device 0x80, program 0xFF, device 0xFF
//
//   ServeConversation(terminal, pacer, options, faults)   plays it from the sync just
//                                                 received, with these faults; what happened
//   ConversationMatches(options, record)          complete, and exactly the expected bytes
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "pseudo_terminal/line_pacer.h"
#include "pseudo_terminal/pseudo_terminal.h"
#include "tools/vdev/options.h"

enum class Ending {
  Complete,        // both end rounds done
  ProgramClosed,   // the program closed the port
  ProgramSilent,   // no answer to a request within the idle time
  Fault,           // a planned fault ended the device's side
  HangUp,          // the device vanished (a planned fault too); the terminal must be renewed
  WrongEndMarker,  // an end round brought another byte than 0xFF
  Stopped,         // SIGTERM or SIGINT
};

struct ConversationRecord {
  Ending ending = Ending::Stopped;
  std::vector<uint8_t> data;  // the data bytes received, in order
  int endRounds = 0;          // end rounds completed
  uint64_t received = 0;      // every byte received, the sync included
  uint64_t sent = 0;          // every byte sent
  std::string faults;         // the faults played, as --fault texts with the byte each sent
                              // ("echo@7=0x3C"), separated by spaces; empty for none
};

ConversationRecord ServeConversation(PseudoTerminal& terminal, LinePacer& pacer, const Options& options,
                                     const std::vector<Fault>& faults);
bool ConversationMatches(const Options& options, const ConversationRecord& record);
const char* EndingName(Ending ending);
