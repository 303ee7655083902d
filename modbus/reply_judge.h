// Whether a reply is the valid answer to its request: judged on the PDU
// and the envelope's ids, for either framing. Bytes in, outcome out: no
// I/O, no clock, no Qt.
#pragma once

#include <cstdint>

#include "modbus/framing.h"
#include "modbus/outcome.h"

// Judges the count bytes of frame, a whole frame that the collecting took
// for the reply (framing.h: NextCollectStep), against request, the view of
// the request as it went on the wire. OutcomeValid, OutcomeException (with
// its code) or OutcomeInvalid (with its fault), checked in this order:
// - the envelope: a frame with a function code and, on Modbus/TCP, a length
//   field that says so; on RTU a right CRC, whatever else is wrong;
// - the protocol id (0) and the request's unit id (any unit id when
//   anyUnit: a gateway that answers as another unit);
// - an exception: the request's function code with bit 7 set, and its code
//   alone after it;
// - the request's function code;
// - a device identification (function 43): an object list that fills the
//   PDU exactly (device_id.h);
// - a write: its echo (the first five bytes of its PDU: function, address,
//   value or quantity);
// - a read: not the request itself, and exactly the byte count its
//   quantity needs, with that many bytes after it.
Outcome JudgeReply(const Framing& framing, const FrameView& request, const uint8_t* frame, int count,
                   bool anyUnit = false);

// True when the reply was refused for its unit id alone: taken from any
// unit id, it would be valid or an exception.
bool RefusedForUnitOnly(const Framing& framing, const FrameView& request, const uint8_t* frame, int count);

// "wrong unit id", ...: what makes a reply invalid, for the status text.
const char* ReplyFaultText(ReplyFault fault);
