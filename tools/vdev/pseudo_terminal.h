// The virtual device's end of a pseudo-terminal: the program opens the other end, the
// terminal's path, as its COM1.
//
//   Create(link, error)   opens a terminal, raw at once, and points link (if any) at it
//   Path()                the terminal's path, for the program
//   HangUp(error)         the device vanishes: the terminal closes under the program, and
//                         a new one (new path, link moved) takes its place
//   Close()               closes it and removes the link
//   ReadByte(b, until)    one byte from the program; Closed when no program has the
//                         terminal open (never opened yet, or closed again)
//   WaitForProgram(until) true once a program has the terminal open; false at until or
//                         when asked to stop
//   WriteByte(b)          one byte to the program
//
// The terminal stays usable across any number of opens and closes by programs.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

using Clock = std::chrono::steady_clock;

enum class ReadResult { Byte, TimedOut, Closed, Stopped };

class PseudoTerminal {
 public:
  PseudoTerminal() = default;
  ~PseudoTerminal();
  PseudoTerminal(const PseudoTerminal&) = delete;
  PseudoTerminal& operator=(const PseudoTerminal&) = delete;

  bool Create(const std::string& link, std::string& error);
  const std::string& Path() const { return path_; }
  bool HangUp(std::string& error);
  void Close();

  ReadResult ReadByte(uint8_t& byte, Clock::time_point until);
  bool WaitForProgram(Clock::time_point until);
  bool WriteByte(uint8_t byte);

 private:
  bool OpenTerminal(std::string& error);
  // Waits for the master side to become readable; Byte when it is.
  ReadResult Wait(Clock::time_point until);

  int master_ = -1;
  std::string path_, link_;
};
