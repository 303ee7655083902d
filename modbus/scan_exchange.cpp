#include "modbus/scan_exchange.h"

#include <chrono>
#include <thread>

#include "common/table_numbers.h"
#include "common/tick.h"
#include "connection/serial_port.h"
#include "modbus/device_id.h"
#include "modbus/frames.h"

namespace {

// The Modbus/TCP frame of the request at out, with transaction id 0; its
// length.
int BuildTcpRequest(uint8_t* out, const ScanRequest& request)
{
    if (request.function == kFunctionDeviceId)
        return BuildDeviceIdRequest(out, 0, request.unit, kReadIdBasic, request.objectId);
    // The table whose read has this function code: its number is the one the
    // frame builder takes.
    int table = TableDiscreteInputs;
    while (table < TableHoldingRegisters && ReadFunctionCode(table) != request.function)
        table++;
    return BuildReadRequest(out, table, request.unit, request.address, request.quantity, false);
}

void WaitForGap(const ScanLink& link)
{
    if (const uint32_t left = GapLeftMs(link))
        std::this_thread::sleep_for(std::chrono::milliseconds(left));
}

}  // namespace

std::string ScanTargetText(const ScanTarget& target)
{
    switch (target.transport) {
    case TransportRtuSerial:
        return target.serial.port + " (" + LineSettingsText(target.serial) + ")";
    case TransportRtuOverTcp:
        return target.host + ":" + std::to_string(target.port) + " (RTU over TCP)";
    case TransportModbusTcp:
        break;
    }
    return target.host + ":" + std::to_string(target.port);
}

std::string ScanOpenFailureText(const ScanTarget& target, ConnectFailure failure)
{
    if (target.transport == TransportRtuSerial)
        return SerialOpenFailureText(failure, target.serial.port);
    return ConnectFailureText(failure);
}

ScanLink ScanLinkFor(const ScanTarget& target, const ScanPacing& pacing)
{
    ScanLink link;
    link.transport = target.transport;
    if (target.transport == TransportRtuSerial)
        link.timing = SerialLineTiming(target.serial);
    link.timeoutMs = pacing.timeoutMs;
    link.gapMs = pacing.gapMs;
    return link;
}

uint32_t GapLeftMs(const ScanLink& link)
{
    if (!link.quietKnown)
        return 0;
    return WaitLeftMs(link.gapMs, link.quietFrom);
}

bool ScanTransact(ScanLink& link, const ScanRequest& request, ScanReply* reply)
{
    *reply = ScanReply{};
    if (!link.connection)
        return false;
    const Wire wire{link.connection, FramingOf(link.transport), link.timing};
    uint8_t tcp[kMaxFrameLength], frame[kMaxFrameLength];
    link.transactionId = static_cast<uint16_t>(link.transactionId == 0xFFFF ? 1 : link.transactionId + 1);
    const int length = FrameRequest(wire.framing, tcp, BuildTcpRequest(tcp, request), link.transactionId, frame);
    WaitForGap(link);
    link.requests++;

    uint8_t buffer[kCycleBufferSize] = {};
    const Transaction t = Transact(wire, frame, length, buffer, sizeof buffer, nullptr, link.timeoutMs);
    if (Answered(t)) {
        link.quietKnown = true;
        link.quietFrom = MillisecondTick();
        reply->outcome = t.outcome;
        reply->replyUnit = t.reply.unit;
        if (t.outcome.kind == OutcomeValid)
            reply->pdu.assign(t.reply.pdu, t.reply.pdu + t.reply.pduLength);
        return true;
    }
    if (t.outcome.kind == OutcomeLinkLost)
        return false;
    // Nothing whole came for the whole wait: that was quiet time enough.
    link.quietKnown = true;
    link.quietFrom = t.sendTime;
    return true;
}
