// One request and its reply over the session's transport: Modbus/TCP as
// it has always gone, or the same request as an RTU frame, over TCP or a
// serial port. Worker thread.
#pragma once

#include <cstdint>

#include "modbus/frames.h"
#include "modbus/response_wait.h"

// An RTU reply is collected this far into the cycle buffer, so that its unit
// id, function, byte count (or exception code) and data sit where those of a
// Modbus/TCP reply do (offsets 6, 7, 8, 9): what reads a reply reads both.
constexpr int kRtuReplyOffset = 6;

// Room for the longest request in either form.
constexpr int kWireRequestCapacity = kCycleBufferSize;

struct WireExchange {
    ResponseWait wait;
    // The reply as it came, wait.received bytes of it, for the log.
    const uint8_t* reply = nullptr;
    // Where the reply's data end in the cycle buffer, counted as for a
    // Modbus/TCP reply (its CRC left out): what ShowReadValues is given.
    int dataEnd = 0;
};

// True when the session speaks RTU (over TCP or a serial port).
bool RtuSession();

// The transaction id for the request about to go out, read or write; the
// session's counter moves on by one.
uint16_t NextTransactionId();

// The bytes that go on the wire for the Modbus/TCP request of length bytes:
// the request itself, or in an RTU session its RTU frame, built in wire
// (kWireRequestCapacity bytes). Returns the bytes and sets *wireLength.
const uint8_t* WireRequest(const uint8_t* request, int length, uint8_t* wire, int* wireLength);

// Sends what WireRequest gave and waits up to timeoutMs for the reply,
// collected into buffer (kCycleBufferSize bytes); bytes taken for no reply
// are logged as ignored, a flood of them in a few lines.
WireExchange ExchangeOnWire(const uint8_t* wire, int wireLength, uint8_t* buffer, uint32_t timeoutMs);
