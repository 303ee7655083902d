// sorbel-scan's command line.
#pragma once

#include <string>

#include "modbus/register_map.h"
#include "modbus/scan_exchange.h"

struct ScanOptions {
    ScanTarget target;  // port 502 unless given
    int firstUnit = 1;
    int lastUnit = 247;
    bool unitsGiven = false;
    bool identify = false;      // --id
    bool mapRegisters = false;  // --registers: map one unit's table instead
    MapTable table = MapHoldingRegisters;
    int firstAddress = 0;
    int lastAddress = 0;
    int timeoutMs = static_cast<int>(kDefaultProbeTimeoutMs);
    int gapMs = static_cast<int>(kDefaultScanGapMs);
    bool help = false;
};

// Fills options from argv[1..argc-1]. Returns an empty text on success,
// else what was wrong, as one line for the user.
std::string ParseScanOptions(int argc, const char* const* argv, ScanOptions& options);

// The --help text.
const char* ScanUsage();
