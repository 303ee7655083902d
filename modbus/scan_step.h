// One step of a scan: the request a scan asks to be sent, and what came of
// it. The scans themselves (unit_scan.h, register_map.h) are pure: they
// say what to send next and are told what came back, so that a command, a
// window's worker thread or a test can drive them, one request at a time,
// and stop between any two.
#pragma once

#include <cstdint>
#include <vector>

#include "modbus/outcome.h"

// A request as its PDU names it: a read (functions 1 to 4) of quantity
// values from address, or a device identification (function 43) of the
// basic objects from objectId.
struct ScanRequest {
    uint8_t unit = 0;
    uint8_t function = 0;
    uint16_t address = 0;
    uint16_t quantity = 0;
    uint8_t objectId = 0;
};

struct ScanReply {
    // What came of the request: OutcomeValid, OutcomeException (with its
    // code), OutcomeInvalid (with its fault), or OutcomeTimeout for no
    // reply within the time-out (nor a whole one).
    Outcome outcome;
    // The unit id the reply carried (valid, exception or invalid): tells
    // which unit a device answers as.
    uint8_t replyUnit = 0;
    // OutcomeValid: the PDU, function code first (no header, no CRC).
    std::vector<uint8_t> pdu;
};

// Exception codes a scan tells apart.
constexpr uint8_t kExceptionIllegalAddress = 2;
constexpr uint8_t kExceptionIllegalValue = 3;
constexpr uint8_t kExceptionGatewayPath = 0x0A;    // gateway path unavailable
constexpr uint8_t kExceptionGatewayTarget = 0x0B;  // gateway target device failed to respond
