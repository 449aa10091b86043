#include "bootloader/ports/host/host_line.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "bootloader/ports/host/host_port.h"
#include "pseudo_terminal/stop_signal.h"

namespace {
constexpr size_t kAdapterPacket = 62;  // what a USB adapter sends at once, at most
// The core is woken for this many received characters at most, not for each: a wake-up
// per character at 2 Mbaud would take a core's quarter per simulation.
constexpr size_t kReceiveChunk = 32;
constexpr int kBitsPerCharacter = 10;
}  // namespace

HostLine::HostLine(PseudoTerminal& terminal, const LineSettings& settings)
    : terminal_(terminal), settings_(settings) {
  if (settings.badFrame > 0) badFrame_ = std::make_unique<BadFrame>(settings.badFrame);
  if (settings.lostAck > 0 || settings.lostCheckAck)
    lostAck_ = std::make_unique<LostAck>(settings.lostAck, settings.lostCheckAck);
}

// The threads live as long as the process: it ends by exit, never by returning.
HostLine::~HostLine() {
  if (reader_.joinable()) reader_.detach();
  if (writer_.joinable()) writer_.detach();
}

void HostLine::Start() {
  reader_ = std::thread(&HostLine::Receive, this);
  if (Paced()) writer_ = std::thread(&HostLine::Send, this);
}

Clock::duration HostLine::CharacterTime() const {
  if (settings_.characterNs > 0) return std::chrono::nanoseconds(settings_.characterNs);
  if (!settings_.pace) return Clock::duration::zero();
  return std::chrono::nanoseconds(kBitsPerCharacter * 1000000000LL / baud_);
}

void HostLine::Stop() {
  terminal_.Close();  // removes the link
  std::fflush(stdout);
  std::_Exit(kExitStopped);
}

// Only the reader sees a stop; the core learns of it at its next wait for a byte.
void HostLine::Receive() {
  uint8_t chunk[4096];
  for (;;) {
    size_t count = 0;
    switch (terminal_.ReadSome(chunk, sizeof chunk, count, Clock::time_point::max())) {
      case ReadResult::Byte: Arrive(chunk, count); break;
      case ReadResult::TimedOut: break;
      case ReadResult::Closed:  // no program holds the line: nothing can come until one does
        terminal_.WaitForProgram(Clock::time_point::max());
        break;
      case ReadResult::Stopped: {
        std::lock_guard<std::mutex> lock(mutex_);
        stopped_ = true;
        received_.notify_all();
        return;
      }
    }
  }
}

bool HostLine::Heard(uint32_t baud) const {
  const uint32_t program = terminal_.ProgramBaud();
  return program == 0 || program == baud;
}

// Each byte keeps the rate the program sent it at (0 when that cannot be read); whether
// the device hears it is decided when the device takes it, at the rate then in force. A
// device switches the moment its last byte at the old rate has left: a program that
// answers that byte at once must not find the simulation still at the old rate.
void HostLine::Arrive(const uint8_t* bytes, size_t count) {
  const uint32_t program = terminal_.ProgramBaud();
  std::lock_guard<std::mutex> lock(mutex_);
  for (size_t i = 0; i < count; ++i) {
    inFree_ = std::max(Clock::now(), inFree_) + CharacterTime();
    in_.push_back({badFrame_ ? badFrame_->Arrive(bytes[i]) : bytes[i], inFree_, program});
  }
  received_.notify_all();
}

bool HostLine::HeardNow(uint32_t sentAt) const {
  if (settings_.deafBaud != 0 && baud_ == settings_.deafBaud) return false;
  return sentAt == 0 || sentAt == baud_;
}

int HostLine::Get(uint8_t& byte, unsigned timeoutMs) {
  const Clock::time_point start = ranOut_ != Clock::time_point{} ? ranOut_ : Clock::now();
  const Clock::time_point until = start + std::chrono::milliseconds(timeoutMs);
  ranOut_ = {};
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    if (stopped_) Stop();
    const Clock::time_point now = Clock::now();
    if (!in_.empty() && in_.front().onLine <= now) {
      const Character arrived = in_.front();
      in_.pop_front();
      if (!HeardNow(arrived.baud)) continue;
      byte = arrived.byte;
      return 1;
    }
    if (now >= until) {
      ranOut_ = until;
      return 0;
    }
    // Asleep until a chunk of the bytes on their way is whole (the first of them alone
    // when it comes alone); then they are handed over one after another, as from a
    // UART's buffer.
    const Clock::time_point chunk = in_.empty() ? until : in_[std::min(in_.size(), kReceiveChunk) - 1].onLine;
    received_.wait_until(lock, std::min(until, chunk));
  }
}

// Called by the core alone, as Reset: the lost ACK needs no lock.
void HostLine::Put(uint8_t byte) {
  ranOut_ = {};
  leaving_.clear();
  if (lostAck_) {
    lostAck_->Leave(byte, leaving_);
  } else {
    leaving_.push_back(byte);
  }
  std::unique_lock<std::mutex> lock(mutex_);
  if (!Paced()) {  // with no program at the other end the byte is lost, as on a line
    const uint32_t baud = baud_;
    lock.unlock();
    for (uint8_t b : leaving_) {
      if (terminal_.WaitForProgram(Clock::now()) && Heard(baud)) terminal_.WriteByte(b);
    }
    return;
  }
  for (uint8_t b : leaving_) {
    outFree_ = std::max(Clock::now(), outFree_) + CharacterTime();
    out_.push_back({b, outFree_, baud_});
  }
  if (!out_.empty()) toSend_.notify_all();
}

void HostLine::SetRate(uint32_t baud) {
  ranOut_ = {};  // the wait for the line to drain is the device's as well
  std::unique_lock<std::mutex> lock(mutex_);
  const Clock::time_point sent = outFree_;
  lock.unlock();
  std::this_thread::sleep_until(sent);
  lock.lock();
  baud_ = baud;
}

void HostLine::Reset() {
  ranOut_ = {};
  if (lostAck_) lostAck_->Reset();
}

// Without a latency timer, a chunk leaves when its first character is on the line (and
// takes with it those that are by then); with one, the adapter holds what it received
// until its timer runs out after the first, or until it has a packet's worth.
Clock::time_point HostLine::ReleaseTime() const {
  if (settings_.latencyMs == 0) return out_.front().onLine;
  const Clock::time_point timer = out_.front().onLine + std::chrono::milliseconds(settings_.latencyMs);
  return out_.size() >= kAdapterPacket ? std::min(timer, out_[kAdapterPacket - 1].onLine) : timer;
}

void HostLine::Send() {
  std::vector<Character> chunk;
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    toSend_.wait(lock, [this] { return !out_.empty(); });
    const Clock::time_point release = ReleaseTime();
    if (Clock::now() < release) {
      toSend_.wait_until(lock, release);  // woken early by more bytes: the time may come sooner
      continue;
    }
    const size_t most = settings_.latencyMs > 0 ? kAdapterPacket : out_.size();
    const Clock::time_point now = Clock::now();
    chunk.clear();
    while (!out_.empty() && chunk.size() < most && out_.front().onLine <= now) {
      chunk.push_back(out_.front());
      out_.pop_front();
    }
    lock.unlock();
    const bool open = terminal_.WaitForProgram(Clock::now());
    for (const Character& c : chunk) {
      if (open && Heard(c.baud)) terminal_.WriteByte(c.byte);
    }
    lock.lock();
  }
}
