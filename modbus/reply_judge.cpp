#include "modbus/reply_judge.h"

#include <cstring>

#include "modbus/device_id.h"
#include "modbus/pdu_sizes.h"

namespace {

// Function, address, value or quantity: what a write's echo repeats.
constexpr int kEchoLength = 5;

Outcome Invalid(ReplyFault fault)
{
    Outcome outcome;
    outcome.kind = OutcomeInvalid;
    outcome.fault = fault;
    return outcome;
}

Outcome Answered(OutcomeKind kind, uint8_t exceptionCode = 0)
{
    Outcome outcome;
    outcome.kind = kind;
    outcome.exceptionCode = exceptionCode;
    return outcome;
}

bool SamePdu(const FrameView& a, const FrameView& b, int length)
{
    return a.pduLength >= length && b.pduLength >= length &&
           std::memcmp(a.pdu, b.pdu, static_cast<size_t>(length)) == 0;
}

// The PDU of the reply against the PDU of the request.
Outcome JudgePdu(const FrameView& request, const FrameView& reply)
{
    const int function = request.pdu[0];
    if (reply.pdu[0] == (function | 0x80)) {
        if (reply.pduLength == kExceptionPduLength)
            return Answered(OutcomeException, reply.pdu[1]);
        return Invalid(FaultLength);
    }
    if (reply.pdu[0] != function)
        return Invalid(FaultFunctionCode);

    if (function == kFunctionDeviceId) {
        DeviceIdReply parsed;
        if (!ParseDeviceIdReply(reply.pdu, reply.pduLength, &parsed))
            return Invalid(FaultObjectList);
        return Answered(OutcomeValid);
    }
    if (!IsReadFunction(function)) {
        const bool echo = reply.pduLength == kEchoLength && SamePdu(reply, request, kEchoLength);
        return echo ? Answered(OutcomeValid) : Invalid(FaultNotEcho);
    }
    if (reply.pduLength == request.pduLength && SamePdu(reply, request, request.pduLength))
        return Invalid(FaultEcho);
    const int quantity = request.pdu[3] << 8 | request.pdu[4];
    const int expected = ReplyPduLength(function, quantity);
    if (reply.pduLength < 2 || expected > kMaxPduLength || reply.pdu[1] != expected - 2 || reply.pduLength != expected)
        return Invalid(FaultByteCount);
    return Answered(OutcomeValid);
}

}  // namespace

Outcome JudgeReply(const Framing& framing, const FrameView& request, const uint8_t* frame, int count, bool anyUnit)
{
    // Reads and writes have 5 bytes of PDU at least, a device identification 4.
    const bool deviceId = request.pduLength >= 1 && request.pdu[0] == kFunctionDeviceId;
    if (request.pduLength < (deviceId ? 4 : 5))
        return Invalid(FaultLength);
    const ReplyFault envelope = EnvelopeFault(framing, frame, count);
    FrameView reply;
    if (envelope != FaultNone || !ViewFrame(framing, frame, count, &reply))
        return Invalid(envelope != FaultNone ? envelope : FaultLength);
    if (reply.protocolId != 0)
        return Invalid(FaultProtocolId);
    if (reply.unit != request.unit && !anyUnit)
        return Invalid(FaultUnitId);
    return JudgePdu(request, reply);
}

bool RefusedForUnitOnly(const Framing& framing, const FrameView& request, const uint8_t* frame, int count)
{
    const Outcome strict = JudgeReply(framing, request, frame, count);
    if (strict.kind != OutcomeInvalid || strict.fault != FaultUnitId)
        return false;
    const OutcomeKind any = JudgeReply(framing, request, frame, count, true).kind;
    return any == OutcomeValid || any == OutcomeException;
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
