#include "modbus/framing.h"

#include <algorithm>
#include <cstring>

#include "modbus/frames.h"
#include "modbus/pdu_sizes.h"

namespace {

// An MBAP length field counts the unit id and the PDU: at least a function
// code, at most the longest PDU.
constexpr int kMinLengthField = 2;
constexpr int kMaxLengthField = 1 + kMaxPduLength;
// The MBAP header's bytes before the unit id: what a Modbus/TCP request
// has that its RTU frame has not.
constexpr int kMbapIdBytes = kMbapHeaderLength - 1;

int Get16(const uint8_t* bytes)
{
    return bytes[0] << 8 | bytes[1];
}

// The Modbus/TCP frame starting with bytes is the request's (count >= 2).
bool SameTransaction(const FrameView& request, const uint8_t* bytes)
{
    return Get16(bytes) == request.transactionId;
}

// Where the request's reply could begin among bytes that start no frame:
// its transaction id and protocol id 0, the last of them cut off by the end.
int ResyncPoint(const FrameView& request, const uint8_t* bytes, int count)
{
    const uint8_t start[4] = {static_cast<uint8_t>(request.transactionId >> 8),
                              static_cast<uint8_t>(request.transactionId), 0, 0};
    for (int at = 1; at < count; at++) {
        const int n = std::min(count - at, 4);
        if (std::memcmp(bytes + at, start, static_cast<size_t>(n)) == 0)
            return at;
    }
    return count;
}

}  // namespace

const Framing& FramingOf(TransportKind transport)
{
    return transport == TransportModbusTcp ? kModbusTcpFraming : kRtuFraming;
}

bool ViewFrame(const Framing& framing, const uint8_t* frame, int count, FrameView* view)
{
    *view = FrameView{};
    if (count < framing.headerLength + framing.checksumLength)
        return false;
    if (framing.transactionIds) {
        view->transactionId = static_cast<uint16_t>(Get16(frame));
        view->protocolId = static_cast<uint16_t>(Get16(frame + 2));
    }
    view->unit = frame[framing.headerLength - 1];
    view->pdu = frame + framing.headerLength;
    view->pduLength = count - framing.headerLength - framing.checksumLength;
    return true;
}

ReplyFault EnvelopeFault(const Framing& framing, const uint8_t* frame, int count)
{
    if (count < framing.headerLength + 1 + framing.checksumLength)
        return FaultLength;
    if (framing.length == LengthInHeader && FrameLength(framing, frame, count) != count)
        return FaultLength;
    if (framing.checksumLength > 0 && !RtuCrcValid(frame, count))
        return FaultCrc;
    return FaultNone;
}

int FrameLength(const Framing& framing, const uint8_t* bytes, int count)
{
    if (count < framing.headerLength)
        return 0;
    if (framing.length == LengthInHeader) {
        const int field = Get16(bytes + 4);
        if (field < kMinLengthField || field > kMaxLengthField)
            return -1;
        return kMbapIdBytes + field;
    }
    const int pdu = ReplyPduLengthOf(bytes + framing.headerLength, count - framing.headerLength);
    return pdu <= 0 ? pdu : framing.headerLength + pdu + framing.checksumLength;
}

bool OfAnotherTransaction(const Framing& framing, const FrameView& request, const uint8_t* bytes, int count)
{
    return framing.transactionIds && count >= 2 && !SameTransaction(request, bytes);
}

int FrameRequest(const Framing& framing, const uint8_t* request, int length, uint16_t transactionId, uint8_t* out)
{
    if (length < kMbapHeaderLength + 1 || length > kMaxFrameLength)
        return 0;
    if (framing.transactionIds) {
        std::memmove(out, request, static_cast<size_t>(length));
        StampTransactionId(out, transactionId);
        return length;
    }
    // The unit id and the PDU: the request less its MBAP ids.
    const int body = length - kMbapIdBytes;
    std::memmove(out, request + kMbapIdBytes, static_cast<size_t>(body));
    const uint16_t crc = RtuCrc(out, body);
    out[body] = static_cast<uint8_t>(crc & 0xFF);
    out[body + 1] = static_cast<uint8_t>(crc >> 8);
    return body + kRtuCrcLength;
}

int LongestReplyFrame(const Framing& framing, const FrameView& request)
{
    const int function = request.pduLength >= 1 ? request.pdu[0] : 0;
    const int quantity = request.pduLength >= 5 ? Get16(request.pdu + 3) : 0;
    return framing.headerLength + LongestReplyPdu(function, quantity) + framing.checksumLength;
}

CollectDecision NextCollectStep(const Framing& framing, const FrameView& request, const uint8_t* bytes, int count)
{
    const int length = FrameLength(framing, bytes, count);
    if (length == 0) {
        // The header (Modbus/TCP) or the unit id and function code (RTU)
        // first, then byte by byte while the PDU cannot tell yet.
        const int least = framing.headerLength + (framing.length == LengthInPdu ? 1 : 0);
        return {CollectMore, std::max(least, count + 1)};
    }
    if (length > 0) {
        if (count < length)
            return {CollectMore, length};
        // Another transaction's: a late reply to an earlier request.
        if (OfAnotherTransaction(framing, request, bytes, count))
            return {CollectSkip, length};
        return {CollectFrame, length};
    }
    if (!framing.transactionIds)
        return {CollectUntilQuiet, kMaxFrameLength};
    // No frame can start here. With the request's transaction id it is a
    // broken reply to it; otherwise drop up to where the reply could begin.
    if (SameTransaction(request, bytes))
        return {CollectFrame, count};
    return {CollectSkip, ResyncPoint(request, bytes, count)};
}

uint16_t RtuCrc(const uint8_t* bytes, int count)
{
    uint16_t crc = 0xFFFF;
    for (int i = 0; i < count; i++) {
        crc ^= bytes[i];
        for (int bit = 0; bit < 8; bit++)
            crc = (crc & 1) ? static_cast<uint16_t>((crc >> 1) ^ 0xA001) : static_cast<uint16_t>(crc >> 1);
    }
    return crc;
}

bool RtuCrcValid(const uint8_t* frame, int count)
{
    if (count < kRtuCrcLength + 1)
        return false;
    const uint16_t crc = RtuCrc(frame, count - kRtuCrcLength);
    return frame[count - 2] == (crc & 0xFF) && frame[count - 1] == crc >> 8;
}
