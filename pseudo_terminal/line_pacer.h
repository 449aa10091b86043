// The line time of a character (10 bits: 1,041,666 ns at 9600 baud). The device knows what to send when
// the character it answers has arrived, and sends its answers back to back; each reaches
// the program one line time after the line was free for it.
// A character from the program is complete one line time after the device saw it begin.
// With a character time of 0 every call returns at once.
//
//   Received()     a character from the program has just been read
//   BeforeSend()   waits until the character about to be written would have arrived
#pragma once

constexpr long long kCharacterNs9600 = 10 * 1000000000LL / 9600;

class LinePacer {
 public:
  explicit LinePacer(long long characterNs);
  void Received();
  void BeforeSend();

 private:
  long long characterNs_;
  // Nanoseconds on the monotonic clock.
  long long receivedComplete_ = 0;  // the last received character's end on the line
  long long knownAt_ = 0;           // when the device knew what it sends next
  long long sendComplete_ = 0;      // the last sent character's end on the line
};
