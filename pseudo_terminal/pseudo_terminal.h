// A device's end of a pseudo-terminal (the virtual device's, the bootloader
// simulation's): the program opens the other end, the terminal's path, as its COM1.
//
//   Create(link, leftover, error)
//                         opens a terminal, raw at once, puts leftover bytes in its input
//                         for the program, and then points link (if any) at it
//   Path()                the terminal's path, for the program
//   HangUp(error)         the device vanishes: the terminal closes under the program, and
//                         a new one (new path, link moved) takes its place
//   Unplug()              the link goes, then the terminal closes under the program...
//   Replug(error)         ...until a new one (new path) comes and the link points at it
//   Close()               closes it and removes the link
//   ReadByte(b, until)    one byte from the program; Closed when no program has the
//                         terminal open (never opened yet, or closed again)
//   ReadSome(bytes, capacity, count, until)
//                         as ReadByte, the bytes that have come (count, at least one)
//   WaitForProgram(until) true once a program has the terminal open; false at until or
//                         when asked to stop
//   WriteByte(b)          one byte to the program
//
// The terminal stays usable across any number of opens and closes by programs. A new
// terminal's path is never the one before it (it may be an older one).
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

using Clock = std::chrono::steady_clock;

enum class ReadResult { Byte, TimedOut, Closed, Stopped };

class PseudoTerminal {
 public:
  PseudoTerminal() = default;
  ~PseudoTerminal();
  PseudoTerminal(const PseudoTerminal&) = delete;
  PseudoTerminal& operator=(const PseudoTerminal&) = delete;

  bool Create(const std::string& link, const std::vector<uint8_t>& leftover, std::string& error);
  const std::string& Path() const { return path_; }
  bool HangUp(std::string& error);
  void Unplug();
  bool Replug(std::string& error) { return OpenTerminal(error); }
  void Close();

  ReadResult ReadByte(uint8_t& byte, Clock::time_point until);
  ReadResult ReadSome(uint8_t* bytes, size_t capacity, size_t& count, Clock::time_point until);
  bool WaitForProgram(Clock::time_point until);
  bool WriteByte(uint8_t byte);

 private:
  bool OpenTerminal(std::string& error);
  // Writes the bytes and waits until the terminal holds them, so that a program that
  // opens it finds them however busy the machine is.
  bool LeaveBytes(std::string& error);
  // Closes the device's side, which hangs up the program's; the terminal's path stays
  // taken until the next terminal has been made, so that it gets another path.
  void CloseKeepingPath();
  // Waits for the master side to become readable; Byte when it is.
  ReadResult Wait(Clock::time_point until);

  int master_ = -1;
  int heldPath_ = -1;  // a descriptor of the closed terminal, which keeps its path taken
  std::string path_, link_;
  std::vector<uint8_t> leftover_;  // for the first terminal only
};
