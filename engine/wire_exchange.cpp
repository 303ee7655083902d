#include "engine/wire_exchange.h"

#include "engine/program_state.h"
#include "engine/transaction_report.h"
#include "modbus/rtu_frames.h"
#include "modbus/rtu_wait.h"

bool RtuSession()
{
    return program.linkTransport != TransportModbusTcp;
}

uint16_t NextTransactionId()
{
    return program.session.nextTransactionId++;
}

const uint8_t* WireRequest(const uint8_t* request, int length, uint8_t* wire, int* wireLength)
{
    if (!RtuSession()) {
        *wireLength = length;
        return request;
    }
    *wireLength = BuildRtuRequest(wire, request, length);
    return wire;
}

WireExchange ExchangeOnWire(const uint8_t* wire, int wireLength, uint8_t* buffer, uint32_t timeoutMs)
{
    WireExchange exchange;
    if (!RtuSession()) {
        exchange.wait = SendAndAwaitResponse(program.connection.load(), wire, wireLength, buffer, kCycleBufferSize,
                                             LogIgnoredBytes, timeoutMs);
        exchange.reply = buffer;
        exchange.dataEnd = exchange.wait.received;
    } else {
        uint8_t* reply = buffer + kRtuReplyOffset;
        exchange.wait = SendAndAwaitRtuResponse(program.connection.load(), program.rtuTiming, wire, wireLength, reply,
                                                kCycleBufferSize - kRtuReplyOffset, LogIgnoredBytes, timeoutMs);
        exchange.reply = reply;
        if (exchange.wait.received >= kRtuDataOffset + kRtuCrcLength)
            exchange.dataEnd = kRtuReplyOffset + exchange.wait.received - kRtuCrcLength;
    }
    EndIgnoredBytes();
    return exchange;
}
