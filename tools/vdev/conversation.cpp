#include "tools/vdev/conversation.h"

#include <thread>

#include "device/download_protocol.h"

using namespace protocol;

namespace {

// A device that gave no answer to the sync still goes on, after the program's wait for
// the answer is surely over.
constexpr auto kLostAnswerPause = std::chrono::milliseconds(250);

class DeviceSide {
 public:
  DeviceSide(PseudoTerminal& terminal, LinePacer& pacer, const Options& options,
             const std::vector<Fault>& faults)
      : terminal_(terminal), pacer_(pacer), options_(options), faults_(faults) {}

  ConversationRecord Serve() {
    record_.received = 1;  // the sync
    record_.ending = Converse();
    return record_;
  }

 private:
  Ending Converse() {
    uint8_t answer = kSyncAck;
    const Fault* syncFault = FindFault(faults_, FaultPoint::SyncAnswer, 0);
    if (syncFault != nullptr && !Substitute(*syncFault, answer)) {
      std::this_thread::sleep_for(kLostAnswerPause);
    } else {
      std::this_thread::sleep_for(std::chrono::milliseconds(options_.syncDelayMs));
      Send(answer);
    }

    for (uint32_t k = 1; k <= options_.imageSize; ++k) {
      uint8_t byte;
      if (!Play(FaultPoint::Request, k, kByteRequest) || !Receive(byte)) return ending_;
      record_.data.push_back(byte);
      if (const Fault* hangUp = FindFault(faults_, FaultPoint::HangUp, k)) {
        Note(*hangUp);
        return Ending::HangUp;
      }
      if (!Play(FaultPoint::Echo, k, byte)) return ending_;
    }

    for (int round = 1; round <= kEndMarkerRounds; ++round) {
      uint8_t byte;
      if (!Play(FaultPoint::EndRequest, round, kByteRequest) || !Receive(byte)) return ending_;
      if (!Play(FaultPoint::EndEcho, round, byte)) return ending_;
      if (byte != kEndMarker) return Ending::WrongEndMarker;
      record_.endRounds = round;
    }
    return Ending::Complete;
  }

  // Sends the right byte, or plays the fault planned here, which ends the conversation.
  bool Play(FaultPoint point, uint32_t at, uint8_t right) {
    const Fault* fault = FindFault(faults_, point, at);
    if (fault == nullptr) return Send(right);
    uint8_t wrong = right;
    if (Substitute(*fault, wrong)) Send(wrong);
    ending_ = Ending::Fault;
    return false;
  }

  // Turns byte into what the fault sends instead and notes the fault as played; false
  // when it sends nothing.
  bool Substitute(const Fault& fault, uint8_t& byte) {
    Fault played = fault;
    if (!fault.silent) {
      byte = fault.Replace(byte);
      played.hasByte = true;
      played.byte = byte;
    }
    Note(played);
    return !fault.silent;
  }

  void Note(const Fault& played) {
    if (!record_.faults.empty()) record_.faults += ' ';
    record_.faults += FaultText(played);
  }

  bool Send(uint8_t byte) {
    pacer_.BeforeSend();
    if (!terminal_.WriteByte(byte)) {
      ending_ = Ending::ProgramClosed;
      return false;
    }
    ++record_.sent;
    return true;
  }

  bool Receive(uint8_t& byte) {
    auto until = Clock::now() + std::chrono::milliseconds(options_.idleMs);
    switch (terminal_.ReadByte(byte, until)) {
      case ReadResult::Byte:
        pacer_.Received();
        ++record_.received;
        return true;
      case ReadResult::TimedOut: ending_ = Ending::ProgramSilent; break;
      case ReadResult::Closed: ending_ = Ending::ProgramClosed; break;
      case ReadResult::Stopped: ending_ = Ending::Stopped; break;
    }
    return false;
  }

  PseudoTerminal& terminal_;
  LinePacer& pacer_;
  const Options& options_;
  const std::vector<Fault>& faults_;
  ConversationRecord record_;
  Ending ending_ = Ending::Stopped;
};

}  // namespace

ConversationRecord ServeConversation(PseudoTerminal& terminal, LinePacer& pacer, const Options& options,
                                     const std::vector<Fault>& faults) {
  return DeviceSide(terminal, pacer, options, faults).Serve();
}

bool ConversationMatches(const Options& options, const ConversationRecord& record) {
  return record.ending == Ending::Complete && record.data == options.expected;
}

const char* EndingName(Ending ending) {
  switch (ending) {
    case Ending::Complete: return "complete";
    case Ending::ProgramClosed: return "program-closed";
    case Ending::ProgramSilent: return "program-silent";
    case Ending::Fault: return "fault";
    case Ending::HangUp: return "hang-up";
    case Ending::WrongEndMarker: return "wrong-end-marker";
    case Ending::Stopped: return "stopped";
  }
  return "?";
}
