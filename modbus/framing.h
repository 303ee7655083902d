// Frames on the wire: the envelope around a PDU, Modbus/TCP's MBAP header or
// RTU's unit id and CRC, described by a small record so that one loop
// collects and judges the replies of every transport (transaction.h).
// Bytes in, record or status out: no I/O, no clock, no Qt.
#pragma once

#include <cstdint>

#include "connection/line_settings.h"
#include "modbus/frames.h"
#include "modbus/outcome.h"

constexpr int kRtuCrcLength = 2;
// The longest frame either framing collects: an MBAP header and the longest
// PDU, or a unit id, a read reply announcing 255 bytes and a CRC.
constexpr int kMaxFrameLength = 260;

// Where a frame's length is found.
enum FrameLengthRule {
    LengthInHeader,  // the header's length field counts the unit id and the PDU
    LengthInPdu,     // the PDU tells it: by its function code, byte count or object list
};

struct Framing {
    int headerLength = kMbapHeaderLength;     // bytes before the PDU
    int checksumLength = 0;                   // bytes after it
    FrameLengthRule length = LengthInHeader;  // how a frame's end is found
    bool transactionIds = true;               // a reply is told from a late one by its id
    bool broadcastUnit0 = false;              // unit 0: every device acts on a write, none answers
};

// Modbus/TCP: the MBAP header, no checksum.
constexpr Framing kModbusTcpFraming{kMbapHeaderLength, 0, LengthInHeader, true, false};
// RTU, on a serial line or in a plain TCP stream: the unit id, the CRC.
constexpr Framing kRtuFraming{1, kRtuCrcLength, LengthInPdu, false, true};

const Framing& FramingOf(TransportKind transport);

// A frame's envelope and its PDU, pointing into the frame's bytes.
struct FrameView {
    uint16_t transactionId = 0;  // 0 where the framing carries none
    uint16_t protocolId = 0;     // likewise
    uint8_t unit = 0;
    const uint8_t* pdu = nullptr;  // function code first
    int pduLength = 0;
};

// The view of count bytes taken as one frame; false when they do not even
// hold its header and checksum.
bool ViewFrame(const Framing& framing, const uint8_t* frame, int count, FrameView* view);

// What is wrong with the frame's envelope: FaultLength for a frame with no
// function code, or (Modbus/TCP) whose length field does not fit it;
// FaultCrc for a CRC that is not that of its bytes; FaultNone.
ReplyFault EnvelopeFault(const Framing& framing, const uint8_t* frame, int count);

// How many bytes the reply frame that starts with bytes takes in all: 0
// while too few are there to tell, -1 when they cannot tell (a length field
// that no frame has; a function code whose replies have no known length).
int FrameLength(const Framing& framing, const uint8_t* bytes, int count);

// True when the framing carries transaction ids and bytes, 2 or more,
// begin with another one than the request's.
bool OfAnotherTransaction(const Framing& framing, const FrameView& request, const uint8_t* bytes, int count);

// The bytes that go on the wire for a request as frames.h builds them (a
// Modbus/TCP frame of length bytes): itself with transactionId stamped in,
// or its unit id and PDU followed by their CRC. Returns the wire length; 0
// for a length no request has (fewer than 8 or more than kMaxFrameLength).
int FrameRequest(const Framing& framing, const uint8_t* request, int length, uint16_t transactionId, uint8_t* out);

// The longest reply frame the request (as it went on the wire) can get.
int LongestReplyFrame(const Framing& framing, const FrameView& request);

// What to do with the bytes collected so far while waiting for the reply
// to request:
enum CollectStep {
    CollectMore,        // wait for more: `bytes` are needed in all
    CollectFrame,       // the first `bytes` are the reply (or, broken, all there will be of it): judge them
    CollectSkip,        // the first `bytes` are no reply to it (a late reply, or no frame at all): drop them
    CollectUntilQuiet,  // the length cannot be told: the reply ends where the line falls silent
};
struct CollectDecision {
    CollectStep step = CollectMore;
    int bytes = kMbapHeaderLength;
};
CollectDecision NextCollectStep(const Framing& framing, const FrameView& request, const uint8_t* bytes, int count);

// The CRC-16 of Modbus (polynomial 0xA001 reflected, start 0xFFFF) of count
// bytes. On the wire its low byte goes first: 01 03 00 00 00 0A gives C5 CD.
uint16_t RtuCrc(const uint8_t* bytes, int count);
// True when the frame's last two bytes are the CRC of the bytes before them.
bool RtuCrcValid(const uint8_t* frame, int count);
