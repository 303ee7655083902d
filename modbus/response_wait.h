// Sending one request and waiting for its one response: shared by the read
// and the write transactions. No window, no Qt.
#pragma once

#include <cstdint>

#include "connection/transport.h"
#include "modbus/frames.h"

// A response seen later than this after the send is a time-out; one seen at
// exactly this many milliseconds is still taken.
constexpr uint32_t kResponseTimeoutMs = 1000;

enum WaitOutcome { WaitSendFailed, WaitTimedOut, WaitReceived };

struct ResponseWait {
    WaitOutcome outcome = WaitSendFailed;
    int received = -1;      // ReceiveData's result, for WaitReceived
    uint32_t sendTime = 0;  // tick taken right after the send
};

// Hands the request to one SendData (anything but exactly length bytes
// accepted is WaitSendFailed). Then, turn by turn: sleep 1 ms; more than
// kResponseTimeoutMs since the send is WaitTimedOut; once CheckForData
// reports data, one ReceiveData of up to capacity bytes into buffer
// is the response, however much of it has arrived. Bytes arriving later
// stay in the connection for the next transaction.
// The tick source can be replaced (tests); null means MillisecondTick.
ResponseWait SendAndAwaitResponse(Connection* connection, const uint8_t* request, int length, uint8_t* buffer,
                                  int capacity, uint32_t (*tick)() = nullptr);
