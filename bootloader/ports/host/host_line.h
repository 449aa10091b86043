// The simulation's UART and the line behind it, on the device's end of a pseudo-terminal.
// A reader thread keeps receiving whatever the flash is doing, as a UART with a buffer
// does: each byte is stamped with the moment its last bit would arrive at the rate in
// force, and Get hands it over no earlier. What the device sends goes on the line
// after the bytes before it; a writer thread passes it to the program in chunks, when
// their last character is on the line, or as a USB adapter does, held until its latency
// timer runs out or 62 bytes have gathered. No thread spins: each sleeps to a deadline.
// As on a line, a byte passes only when both ends are at the rate it was sent at: the
// program's is read from its end of the terminal.
//
//   Start()         the threads
//   Get(b, ms)      1 with the next byte, 0 when none came within ms; a wait that
//                   follows one that ran out begins where that one ended
//   Put(b)          one byte onto the line
//   SetRate(baud)   once every byte put is on the line
//   Reset()         at a reset of the device
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "bootloader/ports/host/host_faults.h"
#include "pseudo_terminal/pseudo_terminal.h"

struct LineSettings {
  long long characterNs = 0;  // every character's line time (--char-us), 0 for none
  bool pace = false;          // each character's line time at the rate in force (--pace)
  int latencyMs = 0;          // the adapter's latency timer on what the device sends
  uint32_t deafBaud = 0;      // a rate at which the device hears nothing
  long long badFrame = 0;     // the DATA frame (from 1) that arrives changed
  long long lostAck = 0;      // the ACK for a DATA frame (from 1) that is lost
  bool lostCheckAck = false;  // the first CHECK's ACK is lost
};

class HostLine {
 public:
  HostLine(PseudoTerminal& terminal, const LineSettings& settings);
  ~HostLine();
  HostLine(const HostLine&) = delete;
  HostLine& operator=(const HostLine&) = delete;

  void Start();
  int Get(uint8_t& byte, unsigned timeoutMs);
  void Put(uint8_t byte);
  void SetRate(uint32_t baud);
  void Reset();

 private:
  struct Character {
    uint8_t byte;
    Clock::time_point onLine;  // when its last bit has come or gone
    uint32_t baud;             // received: the program's rate (0: unknown); sent: the device's
  };
  // Whether the program's end is at baud (or its rate cannot be read).
  bool Heard(uint32_t baud) const;
  // Whether a byte the program sent at sentAt is heard at the device's rate now.
  bool HeardNow(uint32_t sentAt) const;
  Clock::duration CharacterTime() const;
  bool Paced() const { return settings_.pace || settings_.characterNs > 0 || settings_.latencyMs > 0; }
  [[noreturn]] void Stop();
  void Receive();
  void Arrive(const uint8_t* bytes, size_t count);
  void Send();
  Clock::time_point ReleaseTime() const;

  PseudoTerminal& terminal_;
  const LineSettings settings_;
  std::unique_ptr<BadFrame> badFrame_;
  std::unique_ptr<LostAck> lostAck_;
  std::mutex mutex_;
  std::condition_variable received_, toSend_;
  std::deque<Character> in_, out_;
  Clock::time_point inFree_{}, outFree_{};  // when the line in each direction is free
  uint32_t baud_ = 9600;
  // The end of the core's last wait when it ran out and the core has done nothing since
  // (the epoch otherwise). A device's clock runs on while it polls; the simulation's core
  // may wait for a processor between two polls, and 500 waits of 1 ms, each begun anew,
  // would last far longer than the 500 ms they count on a busy host. The core's alone.
  Clock::time_point ranOut_{};
  bool stopped_ = false;
  std::vector<uint8_t> leaving_;
  std::thread reader_, writer_;
};
