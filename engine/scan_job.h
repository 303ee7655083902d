// A scan asked for in the Scan window, run on a thread of its own so that
// the window stays live: the connection opened (by a connect that can be
// given up), the scan core driven one request at a time, and what it finds
// handed to the GUI thread as it comes. The GUI thread hands a job over and
// asks it to stop; it never waits for the scan's thread. One job at a time.
#pragma once

#include <cstdint>
#include <string>

#include "modbus/register_map.h"
#include "modbus/scan_exchange.h"
#include "modbus/unit_scan.h"

struct ScanJob {
    ScanTarget target;
    ScanPacing pacing;
    bool mapRegisters = false;  // map one unit's table rather than scan units
    // A scan of units: firstUnit..lastUnit, identified when asked.
    int firstUnit = 1;
    int lastUnit = 247;
    bool identify = false;
    // A map: firstAddress..lastAddress of one table of unit mapUnit.
    int mapUnit = 1;
    MapTable table = MapHoldingRegisters;
    int firstAddress = 0;
    int lastAddress = 0;
};

enum ScanJobEnd {
    ScanJobDone,          // every unit or address was asked
    ScanJobStopped,       // stopped when asked, between two requests
    ScanJobNoConnection,  // the connection could not be made
    ScanJobLinkLost,      // lost, and could not be made again
};

struct ScanJobOutcome {
    ScanJobEnd end = ScanJobDone;
    std::string why;  // ScanJobNoConnection, ScanJobLinkLost: the reason
    int at = 0;       // ScanJobStopped, ScanJobLinkLost: the unit or address asked next
    uint32_t requests = 0;
    double seconds = 0;  // from the connect's start to the end
};

// What the scan tells as it goes. Each runs on the GUI thread, while the
// scan's thread waits for it; what it is given lives only for the call.
struct ScanJobReports {
    // Connected: the first request goes out.
    void (*connected)() = nullptr;
    // A scan of units: the unit asked next, and each unit done.
    void (*asking)(int unit) = nullptr;
    void (*unitDone)(const UnitResult& result) = nullptr;
    // A map: where it stands after each reply (ranges so far, pos).
    void (*mapped)(const RegisterMap& map) = nullptr;
    // The end, whatever it was; the next job may be started from here on.
    void (*ended)(const ScanJobOutcome& outcome) = nullptr;
};

// GUI thread, while no job runs: starts the job. False when the scan's
// thread could not be started (nothing will be reported).
bool StartScanJob(const ScanJob& job, const ScanJobReports& reports);

// Any thread: the job ends at once (over a serial port after the request
// under way, within its time-out), giving up a connect in progress, and
// reports ScanJobStopped. Returns at once.
void StopScanJob();
