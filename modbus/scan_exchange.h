// Scan requests on the wire: each framed for Modbus/TCP (a transaction id
// of its own) or RTU, sent one at a time with a pause after the last
// reply, its reply collected by the same waits as the engine's, and what
// came of it handed back as a ScanReply. No window, no Qt.
#pragma once

#include <cstdint>
#include <string>

#include "connection/line_settings.h"
#include "connection/transport.h"
#include "modbus/scan_step.h"
#include "modbus/transaction.h"

// A probe that has not been answered within this long counts as silent:
// 247 silent units take under a minute, and a device or gateway on a
// healthy line answers a one-value read far sooner.
constexpr uint32_t kDefaultProbeTimeoutMs = 200;
// The least quiet time after a reply before the next request, so that a
// struggling gateway is not given one request right after another.
constexpr uint32_t kDefaultScanGapMs = 20;

// How a scan waits for each reply and how long it keeps quiet before each
// request. Whoever knows the device better (a device's settings) may fill
// it; the defaults suit a scan of an unknown line.
struct ScanPacing {
    uint32_t timeoutMs = kDefaultProbeTimeoutMs;
    uint32_t gapMs = kDefaultScanGapMs;
};

// What a scan talks to: a server or converter by host and port, or a
// serial line.
struct ScanTarget {
    TransportKind transport = TransportModbusTcp;
    std::string host;  // Modbus/TCP and RTU over TCP
    int64_t port = 502;
    SerialSettings serial;  // RTU (serial): serial.port is the device
};

// "10.0.0.5:502", "10.0.0.5:4001 (RTU over TCP)", "/dev/ttyUSB0 (19200 8E1)".
std::string ScanTargetText(const ScanTarget& target);
// Why the target could not be opened, in a few words for the user.
std::string ScanOpenFailureText(const ScanTarget& target, ConnectFailure failure);

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

// A link for target, paced so; no connection yet.
ScanLink ScanLinkFor(const ScanTarget& target, const ScanPacing& pacing);

// How much longer the gap before the next request lasts, in ms: 0 when it
// is over, or before the first request.
uint32_t GapLeftMs(const ScanLink& link);

// Sends request once the gap is over and waits for its reply. True with
// *reply set; false when the link was lost (the connection cannot be used
// any more: the caller closes it, and may open another).
bool ScanTransact(ScanLink& link, const ScanRequest& request, ScanReply* reply);
