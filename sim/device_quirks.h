// How the simulated device answers a request before the tables are looked
// at: which unit ids it answers, what it refuses, and its identification.
// Bytes in, decision out; no I/O.
#pragma once

#include <cstdint>
#include <vector>

#include "sim/sim_options.h"

enum class QuirkAction {
    Serve,      // libmodbus answers it from the tables
    Ignore,     // no answer at all
    Exception,  // exceptionCode
    Identify,   // the identification reply, IdentityReplyPdu
};

struct Quirk {
    QuirkAction action = QuirkAction::Serve;
    uint8_t exceptionCode = 0;
};

// The answer to a complete Modbus/TCP request of length bytes (its header
// checked), in this order: --gateway-absent units get exception 11; a unit
// id that does not answer is ignored (or, with --unit, answered with
// exception 11); a function not served gets 1 and a body of the wrong size
// 3; function 43/14 is identified; single writes with --only-fc16 get 1,
// reads past --max-registers 3, and reads and writes touching a hole 2.
// With --rtu, unit id 0 is a broadcast that every device acts on.
Quirk DecideQuirk(const SimOptions& options, const uint8_t* request, int length);

// The reply PDU (function code first) to the PDU of a function 43 request
// of pduLength bytes, or empty with the exception code in exceptionCode:
// 1 for an MEI type other than 14 or without an identity, 3 for an unknown
// read device id code, 2 for an individual object other than 0..2. Stream
// access (codes 1 to 3) gives the basic objects from the object id asked
// (from 0 for an object it does not have), as many as one reply holds, and
// says more follow when they do not all fit.
std::vector<uint8_t> IdentityReplyPdu(const SimOptions& options, const uint8_t* pdu, int pduLength,
                                      uint8_t* exceptionCode);
