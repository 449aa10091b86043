// The download conversation, which the device leads:
//
//   program 0xA5, device 0x5A                               Handshake (100 ms time-out)
//   N times: device 0x80, program byte, device echo          TransferImage (2000 ms)
//   twice:   device 0x80, program 0xFF, device 0xFF          SendEndMarker
//
// Each operation hands its own failures to the caller's reporter and returns false. A
// differing echo stops the transfer: sending on after a corrupted byte would end in a
// success that is not one. A stopped port ends the conversation at its next read, with
// the one report DeviceStep::Stopped.
#pragma once

#include <cstdint>

#include "device/serial_port.h"
#include "device/transfer_progress.h"

namespace protocol {
constexpr uint8_t kSync = 0xA5;
constexpr uint8_t kSyncAck = 0x5A;
constexpr uint8_t kByteRequest = 0x80;
constexpr uint8_t kEndMarker = 0xFF;
constexpr unsigned kHandshakeTimeoutMs = 100;
constexpr unsigned kTransferTimeoutMs = 2000;
constexpr int kEndMarkerRounds = 2;
}  // namespace protocol

bool Handshake(SerialPort* port, FailureReporter& reporter);
bool ExchangeByte(SerialPort* port, uint8_t byte, FailureReporter& reporter);
bool SendEndMarker(SerialPort* port, FailureReporter& reporter);
// Sends bytes[0..n) on request, then the end marker (with n = 0 only the end marker).
// Reports each accepted data byte to progress, never the end-marker rounds. With
// lateAcknowledgement, after a handshake that had no answer in time, an acknowledgement
// in place of the first request is the device's late answer, and its request follows;
// without it (the desktop program), that byte is a wrong request. With afterProbe, after
// a probe that had no answer in time, a whole frame before those is the probe's late
// answer (device/frame_protocol.h), skipped: the device heard the sync after it.
bool TransferImage(SerialPort* port, const uint8_t* bytes, uint32_t n, TransferProgress& progress,
                   FailureReporter& reporter, bool lateAcknowledgement = false, bool afterProbe = false);
