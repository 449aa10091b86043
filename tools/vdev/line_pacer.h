// The line time of 9600 baud, 10 bits a character: a character the device sends reaches
// the program 1.0417 ms after it went on the line, and one the program sent is complete
// 1.0417 ms after it started. Without emulation every call returns at once.
//
//   Received()     a character has just been read: note when its line time ends
//   BeforeSend()   waits until the character about to be written would have arrived:
//                  one line time after the line is free and the last received one is complete
#pragma once

#include <time.h>

class LinePacer {
 public:
  explicit LinePacer(bool emulate);
  void Received();
  void BeforeSend();

 private:
  bool emulate_;
  timespec receivedComplete_{};  // the last received character's end on the line
  timespec sendComplete_{};      // the last sent character's end on the line
};
