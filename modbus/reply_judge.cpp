#include "modbus/reply_judge.h"

#include <cstring>

#include "modbus/device_id.h"
#include "modbus/frames.h"

namespace {

constexpr int kMinLengthField = 2;    // unit id and function code
constexpr int kMaxLengthField = 254;  // unit id and the longest PDU

int Get16(const uint8_t* bytes)
{
    return bytes[0] << 8 | bytes[1];
}

bool IsRead(int function)
{
    return function >= 1 && function <= 4;
}

// The byte count a read of the request's quantity needs; -1 for a quantity
// no reply can carry (more than 255 data bytes).
int ExpectedByteCount(const uint8_t* request)
{
    const int function = request[7];
    const int quantity = Get16(request + 10);
    const int count = function <= 2 ? (quantity + 7) / 8 : 2 * quantity;
    return count <= 255 ? count : -1;
}

bool SameTransaction(const uint8_t* request, const uint8_t* frame)
{
    return frame[0] == request[0] && frame[1] == request[1];
}

// Reads and writes are 12 bytes at least, a device identification 11.
bool LongEnough(const uint8_t* request, int length)
{
    if (length > kMbapHeaderLength && request[7] == kFunctionDeviceId)
        return length >= kDeviceIdRequestLength;
    return length >= kRequestLength;
}

}  // namespace

int FrameLength(const uint8_t* bytes, int count)
{
    if (count < kMbapHeaderLength)
        return 0;
    const int field = Get16(bytes + 4);
    if (field < kMinLengthField || field > kMaxLengthField)
        return -1;
    return 6 + field;
}

ReplyJudgement JudgeReply(const uint8_t* request, int requestLength, const uint8_t* frame, int count)
{
    if (!LongEnough(request, requestLength) || count < 2 || !SameTransaction(request, frame))
        return {ReplyNotOurs, FaultNone};
    if (count < 8 || FrameLength(frame, count) != count)
        return {ReplyInvalid, FaultLength};
    if (Get16(frame + 2) != 0)
        return {ReplyInvalid, FaultProtocolId};
    if (frame[6] != request[6])
        return {ReplyInvalid, FaultUnitId};

    const int function = request[7];
    if (frame[7] == (function | 0x80)) {
        if (count == kExceptionLength)
            return {ReplyException, FaultNone};
        return {ReplyInvalid, FaultLength};
    }
    if (frame[7] != function)
        return {ReplyInvalid, FaultFunctionCode};

    if (function == kFunctionDeviceId) {
        DeviceIdReply parsed;
        if (!ParseDeviceIdReply(frame + kMbapHeaderLength, count - kMbapHeaderLength, &parsed))
            return {ReplyInvalid, FaultObjectList};
        return {ReplyValid, FaultNone};
    }
    if (!IsRead(function)) {
        // The echo: the request's header with a length of 6, then its
        // function, address and value (or address and quantity).
        const bool echo = count == kRequestLength && std::memcmp(frame, request, 4) == 0 && Get16(frame + 4) == 6 &&
                          std::memcmp(frame + 6, request + 6, 6) == 0;
        return echo ? ReplyJudgement{ReplyValid, FaultNone} : ReplyJudgement{ReplyInvalid, FaultNotEcho};
    }
    if (count == requestLength && std::memcmp(frame, request, static_cast<size_t>(count)) == 0)
        return {ReplyInvalid, FaultEcho};
    const int expected = ExpectedByteCount(request);
    if (count < kResponseDataOffset || frame[8] != expected || count != kResponseDataOffset + expected)
        return {ReplyInvalid, FaultByteCount};
    return {ReplyValid, FaultNone};
}

const char* ReplyFaultText(ReplyFault fault)
{
    switch (fault) {
    case FaultProtocolId:
        return "wrong protocol id";
    case FaultUnitId:
        return "wrong unit id";
    case FaultFunctionCode:
        return "wrong function code";
    case FaultLength:
        return "wrong length";
    case FaultByteCount:
        return "wrong byte count";
    case FaultEcho:
        return "echo of the request";
    case FaultNotEcho:
        return "not the echo of the write";
    case FaultCrc:
        return "wrong CRC";
    case FaultObjectList:
        return "wrong object list";
    case FaultNone:
        break;
    }
    return "";
}

CollectDecision NextCollectStep(const uint8_t* request, const uint8_t* bytes, int count)
{
    const int length = FrameLength(bytes, count);
    if (length == 0)
        return {CollectMore, kMbapHeaderLength};
    if (length > 0)
        return count < length ? CollectDecision{CollectMore, length} : CollectDecision{CollectFrame, length};
    // No frame can start here. With the request's transaction id it is a
    // broken reply to it; otherwise drop up to where the reply could begin.
    if (SameTransaction(request, bytes))
        return {CollectFrame, count};
    const uint8_t start[4] = {request[0], request[1], 0, 0};
    for (int at = 1; at < count; at++) {
        const int n = count - at < 4 ? count - at : 4;
        if (std::memcmp(bytes + at, start, static_cast<size_t>(n)) == 0)
            return {CollectSkip, at};
    }
    return {CollectSkip, count};
}
