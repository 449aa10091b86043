// An acknowledgement that came after the handshake's wait:
//
//   TakeLateAcknowledgement(port)        reads what has arrived since the last sync,
//                                        up to an acknowledgement: true when one came
//                                        (what follows it stays to be read)
#pragma once

#include "device/serial_port.h"

bool TakeLateAcknowledgement(SerialPort* port);
