#include "modbus/scan_exchange.h"

#include <chrono>
#include <thread>

#include "common/table_numbers.h"
#include "common/tick.h"
#include "connection/serial_port.h"
#include "modbus/device_id.h"
#include "modbus/frames.h"
#include "modbus/response_wait.h"
#include "modbus/rtu_frames.h"

namespace {

// The Modbus/TCP frame of the request at out, with transactionId; its
// length.
int BuildTcpRequest(uint8_t* out, const ScanRequest& request, uint16_t transactionId)
{
    if (request.function == kFunctionDeviceId)
        return BuildDeviceIdRequest(out, transactionId, request.unit, kReadIdBasic, request.objectId);
    // The table whose read has this function code: its number is the one the
    // frame builder takes.
    int table = TableDiscreteInputs;
    while (table < TableHoldingRegisters && ReadFunctionCode(table) != request.function)
        table++;
    BuildReadRequest(out, table, request.unit, request.address, request.quantity, false);
    StampTransactionId(out, transactionId);
    return kRequestLength;
}

void WaitForGap(const ScanLink& link)
{
    if (const uint32_t left = GapLeftMs(link))
        std::this_thread::sleep_for(std::chrono::milliseconds(left));
}

// What the judged frame says: its unit id at unitAt, the PDU after it up
// to pduEnd.
void Judged(const ResponseWait& wait, const uint8_t* frame, int unitAt, int pduEnd, ScanReply* reply)
{
    reply->replyUnit = frame[unitAt];
    switch (wait.judgement.verdict) {
    case ReplyValid:
        reply->outcome = OutcomeReply;
        reply->pdu.assign(frame + unitAt + 1, frame + pduEnd);
        break;
    case ReplyException:
        reply->outcome = OutcomeException;
        reply->exceptionCode = frame[unitAt + 2];
        break;
    case ReplyInvalid:
    case ReplyNotOurs:
        reply->outcome = OutcomeInvalid;
        reply->fault = wait.judgement.fault;
        break;
    }
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
    const uint32_t quiet = ElapsedSince(link.quietFrom);
    return quiet < link.gapMs ? link.gapMs - quiet : 0;
}

bool ScanTransact(ScanLink& link, const ScanRequest& request, ScanReply* reply)
{
    *reply = ScanReply{};
    if (!link.connection)
        return false;
    uint8_t tcp[kMaxFrameLength];
    link.transactionId = static_cast<uint16_t>(link.transactionId == 0xFFFF ? 1 : link.transactionId + 1);
    const int tcpLength = BuildTcpRequest(tcp, request, link.transactionId);
    WaitForGap(link);
    link.requests++;

    uint8_t buffer[kCycleBufferSize] = {};
    ResponseWait wait;
    const bool rtu = link.transport != TransportModbusTcp;
    if (rtu) {
        uint8_t frame[kMaxFrameLength];
        const int length = BuildRtuRequest(frame, tcp, tcpLength);
        wait = SendAndAwaitRtuResponse(link.connection, link.timing, frame, length, buffer, sizeof buffer, nullptr,
                                       link.timeoutMs);
    } else {
        wait = SendAndAwaitResponse(link.connection, tcp, tcpLength, buffer, sizeof buffer, nullptr, link.timeoutMs);
    }

    switch (wait.outcome) {
    case WaitAnswered:
        link.quietKnown = true;
        link.quietFrom = MillisecondTick();
        if (rtu)
            Judged(wait, buffer, 0, wait.received - kRtuCrcLength, reply);
        else
            Judged(wait, buffer, kMbapHeaderLength - 1, wait.received, reply);
        return true;
    case WaitTimedOut:
        // Nothing came for the whole wait: that was quiet time enough.
        link.quietKnown = true;
        link.quietFrom = wait.sendTime;
        reply->outcome = OutcomeSilent;
        return true;
    case WaitSendFailed:
    case WaitLinkLost:
        break;
    }
    return false;
}
