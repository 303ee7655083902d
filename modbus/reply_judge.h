// Tying a reply to the request it answers. Bytes in, verdict out: no I/O,
// no clock, no Qt.
#pragma once

#include <cstdint>

constexpr int kMbapHeaderLength = 7;  // transaction id, protocol id, length, unit id
// The longest Modbus/TCP frame: the header and a 253-byte PDU.
constexpr int kMaxFrameLength = 260;

// The bytes the frame starting at bytes takes in all, by its header's length
// field: 0 while fewer than 7 bytes are there to tell, -1 when the length
// field cannot be that of a frame (below 2 or above 254).
int FrameLength(const uint8_t* bytes, int count);

enum ReplyVerdict {
    ReplyValid,      // the answer to the request
    ReplyException,  // the request's exception response
    ReplyInvalid,    // carries the request's transaction id, but is wrong
    ReplyNotOurs,    // another transaction id: a late reply to an earlier request
};

enum ReplyFault {
    FaultNone,
    FaultProtocolId,
    FaultUnitId,
    FaultFunctionCode,
    FaultLength,      // the header's length field does not fit the frame
    FaultByteCount,   // not the byte count the requested quantity needs
    FaultEcho,        // a read answered with its own request
    FaultNotEcho,     // a write answered with anything but its echo
    FaultCrc,         // an RTU frame whose CRC is not that of its bytes
    FaultObjectList,  // a device identification whose object list does not fit its frame
};

struct ReplyJudgement {
    ReplyVerdict verdict = ReplyInvalid;
    ReplyFault fault = FaultNone;
};

// Judges the count bytes of frame as the reply to the request (12 bytes as
// built by frames.h, a longer write of several values, or a device
// identification request of 11 bytes):
// - another transaction id: not ours;
// - a read: valid only with the request's protocol id (0), unit id and
//   function code, a byte count of exactly what the requested quantity
//   needs and a length field that says so; an exception is 9 bytes with the
//   request's ids and its function code with bit 7 set;
// - a write: valid only as its echo (12 bytes: the request's ids, function,
//   address and value, or address and quantity for functions 15 and 16);
//   exceptions as for a read;
// - a device identification (function 43): valid only with the request's
//   ids and an object list that fills the frame exactly (device_id.h).
ReplyJudgement JudgeReply(const uint8_t* request, int requestLength, const uint8_t* frame, int count);

// "wrong unit id", ...: what makes a reply invalid, for the status text.
const char* ReplyFaultText(ReplyFault fault);

// What to do with the bytes collected so far while waiting for the reply to
// request:
enum CollectStep {
    CollectMore,   // wait for more: `bytes` are needed in all
    CollectFrame,  // the first `bytes` are a whole frame (or, with the
                   // request's transaction id, all there will be): judge them
    CollectSkip,   // the first `bytes` cannot start a frame: drop them
};
struct CollectDecision {
    CollectStep step = CollectMore;
    int bytes = kMbapHeaderLength;
};
CollectDecision NextCollectStep(const uint8_t* request, const uint8_t* bytes, int count);
