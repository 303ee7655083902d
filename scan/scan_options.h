// sorbel-scan's command line.
#pragma once

#include <string>

#include "connection/line_settings.h"
#include "modbus/register_map.h"

// A probe that has not been answered within this long counts as silent:
// 247 silent units take under a minute, and a device or gateway on a
// healthy line answers a one-value read far sooner.
constexpr int kDefaultProbeTimeoutMs = 200;
// The least quiet time after a reply before the next request, so that a
// struggling gateway is not given one request right after another.
constexpr int kDefaultGapMs = 20;
constexpr int kDefaultScanPort = 502;

struct ScanOptions {
    TransportKind transport = TransportModbusTcp;
    std::string host;  // Modbus/TCP and RTU over TCP
    int port = kDefaultScanPort;
    SerialSettings serial;  // RTU on a serial port: serial.port is the device
    int firstUnit = 1;
    int lastUnit = 247;
    bool unitsGiven = false;
    bool identify = false;      // --id
    bool mapRegisters = false;  // --registers: map one unit's table instead
    MapTable table = MapHoldingRegisters;
    int firstAddress = 0;
    int lastAddress = 0;
    int timeoutMs = kDefaultProbeTimeoutMs;
    int gapMs = kDefaultGapMs;
    bool help = false;
};

// Fills options from argv[1..argc-1]. Returns an empty text on success,
// else what was wrong, as one line for the user.
std::string ParseScanOptions(int argc, const char* const* argv, ScanOptions& options);

// The --help text.
const char* ScanUsage();
