// What came of one transaction, with the detail that its status text, its
// counters and its log lines need. Plain record: no I/O, no Qt.
#pragma once

#include <cstdint>

enum OutcomeKind {
    OutcomeValid,       // the valid answer to the request
    OutcomeException,   // the request's exception reply: exceptionCode
    OutcomeInvalid,     // a reply, but not a valid one: fault says why
    OutcomeIncomplete,  // the start of a reply, and no more of it within the time-out
    OutcomeTimeout,     // no reply within the time-out
    OutcomeBroadcast,   // a write to unit 0 on RTU: sent, carried out, answered by no device
    OutcomeRefused,     // not sent: a read from unit 0 on RTU, which no device answers
    OutcomeLinkLost,    // the connection or serial port failed: loss says how
};

// Why a reply is not the valid one.
enum ReplyFault {
    FaultNone,
    FaultProtocolId,
    FaultUnitId,
    FaultFunctionCode,
    FaultLength,      // the frame is too short, or its length field does not fit it
    FaultByteCount,   // not the byte count the requested quantity needs
    FaultEcho,        // a read answered with its own request
    FaultNotEcho,     // a write answered with anything but its echo
    FaultCrc,         // an RTU frame whose CRC is not that of its bytes
    FaultObjectList,  // a device identification whose object list does not fit its frame
};

// How the link was lost.
enum LinkLoss {
    LossNone,
    LossClosed,        // the server closed the connection (a serial port: hung up)
    LossReset,         // reset (a serial adapter pulled out or failed)
    LossSendFailed,    // the request could not be sent (or there was no connection)
    LossSendTimedOut,  // the connection took none of the request within the time-out
    LossPartlySent,    // it took only part of the request: the peer is out of step
    LossSilent,        // the peer's TCP stopped answering (kPeerSilenceLimitMs)
};

struct Outcome {
    OutcomeKind kind = OutcomeTimeout;
    ReplyFault fault = FaultNone;  // OutcomeInvalid
    LinkLoss loss = LossNone;      // OutcomeLinkLost
    uint8_t exceptionCode = 0;     // OutcomeException
};
