// Which device a session talks to: the transport, where it is reached (host
// and port, or the serial port) and the unit id. Queued writes are bound to
// the target they were typed for. Plain values: no I/O, no Qt.
#pragma once

#include <cstdint>
#include <string>

#include "connection/line_settings.h"

struct LinkTarget {
    TransportKind transport = TransportModbusTcp;
    std::string host;        // TCP transports: the host text as typed; empty on a serial port
    uint16_t port = 0;       // TCP transports: the port as connected to (low 16 bits); 0 on a serial port
    std::string serialPort;  // RTU (serial): the device path; empty over TCP
    uint8_t unit = 0;        // the unit id as it goes out (low 8 bits)
    bool operator==(const LinkTarget&) const = default;
};

// The target of a session, from the Communications page's values: only
// the fields the transport uses are kept, so that a host typed but unused
// on a serial port does not make two targets differ.
LinkTarget MakeLinkTarget(TransportKind transport, const std::string& host, int64_t port, const std::string& serialPort,
                          int64_t unit);

// "10.0.0.5:502 unit 1"; "RTU over TCP 10.0.0.5:502 unit 1";
// "RTU (serial) /dev/ttyUSB0 unit 1".
std::string LinkTargetText(const LinkTarget& target);
