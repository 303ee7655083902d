// Scan requests on the wire: each framed for Modbus/TCP (a transaction id
// of its own) or RTU, sent one at a time with a pause after the last
// reply, its reply collected by the same waits as the engine's, and what
// came of it handed back as a ScanReply. No window, no Qt.
#pragma once

#include <cstdint>

#include "connection/line_settings.h"
#include "connection/transport.h"
#include "modbus/scan_step.h"
#include "modbus/transaction.h"

// One connection a scan talks over. Owned by the thread that scans.
struct ScanLink {
    Connection* connection = nullptr;  // the caller's; null when there is none
    TransportKind transport = TransportModbusTcp;
    LineTiming timing;       // a serial line's; zero over TCP
    uint32_t timeoutMs = 0;  // how long to wait for each reply
    uint32_t gapMs = 0;      // the least quiet time before each request
    // The last transaction id sent on this connection: ids count up from 1,
    // so none is used twice in 65535 requests. Set to 0 for a new
    // connection.
    uint16_t transactionId = 0;
    // Tick from which the line counts as quiet (the last reply's end, or
    // the send of a request that got none); false before the first request.
    bool quietKnown = false;
    uint32_t quietFrom = 0;
    uint32_t requests = 0;  // sent on any connection so far
};

// Sends request once the gap is over and waits for its reply. True with
// *reply set; false when the link was lost (the connection cannot be used
// any more: the caller closes it, and may open another).
bool ScanTransact(ScanLink& link, const ScanRequest& request, ScanReply* reply);
