// The program-wide state: one instance, `program`. Each field says what it
// means, its unit and which thread owns it. "Main" is the GUI thread; the
// worker is the poll worker thread (at most one at a time).
#pragma once

#include <atomic>
#include <cstdint>
#include <limits>
#include <string>

#include "dataview/cycle_sample.h"
#include "dataview/sample_handover.h"
#include "dataview/wall_clock.h"
#include "engine/link.h"
#include "modbus/response_stats.h"
#include "modbus/scan_exchange.h"

// A table's read time before its first valid read.
constexpr int64_t kNeverRead = std::numeric_limits<int64_t>::min();

// What started the response figures afresh last.
enum FiguresStart {
    FiguresSinceStartUp,  // neither a connect nor a clear yet
    FiguresSinceConnect,  // a connect
    FiguresSinceClear,    // "Clear Log and Counters"
};

struct ProgramState {
    // The connection and what lives and dies with it.
    Link link;
    // The device settings as the file gave them and the "Device settings"
    // window left them: in force from the next cycle (link.device). Main only.
    DeviceSettings deviceSettings;

    // The number of the most recent cycle asked for, from 1 upwards; 0 for
    // none yet. The poll worker, one thread started by the first scan tick
    // that polls and kept for the rest of the run, runs one cycle each time
    // it goes up. Raised by main only, and only while no cycle runs.
    std::atomic<uint32_t> cycleNumber{0};
    // True from the moment main asks for a cycle until the cycle's last step.
    std::atomic<bool> workerRunning{false};

    // Disconnect asked for while the worker was running. Main only.
    bool stopRequest = false;
    // Asks the running cycle to end after the transaction it is in: no
    // further reads or writes (queued writes stay queued). Set by main on a
    // deferred disconnect and at shutdown, cleared by main before it asks
    // for the next cycle; read by the worker between transactions.
    std::atomic<bool> cycleStop{false};

    // Poll, valid and bad counts (signed 32-bit, wrapping). Raised by the
    // worker, reset by main; atomic so neither side races the other.
    std::atomic<int32_t> pollCount{0};
    std::atomic<int32_t> validCount{0};
    std::atomic<int32_t> badCount{0};
    // Response times and causes of bad responses since the last connect or
    // clear: recorded by the worker at each outcome, reset and read by main.
    ResponseStats responseStats;
    // What last started responseStats afresh and when (wall clock, ms since
    // 1970 UTC, with the local offset then; zero before the first), so that
    // their tips can say which period they cover. Main only.
    FiguresStart figuresStart = FiguresSinceStartUp;
    WallTime figuresStartedAt;

    // Rows to poll after the last RebuildDataTables: the sum of the length
    // over the enabled tables (0 when none). Main only.
    int64_t tableRowTotal = 0;
    // Start address of the block at the last RebuildDataTables: list row r
    // stands for address tableStartAddress + r. Main only.
    int64_t tableStartAddress = 1;

    // The data tables as shown, index table number - 1 (engine/data_tables.h).
    // The selector index each table's value texts were last written with, -1
    // before the first: written by the worker as it fills a table, read by
    // main. The selectors may change between connections while the texts stay.
    std::atomic<int> tableShownFormat[4] = {-1, -1, -1, -1};
    // Whether each table's values are greyed, as last asked for from any
    // thread; the list's colours follow it on main. Kept so that asking again
    // for what is already so costs one atomic operation.
    std::atomic<bool> tableStale[4] = {false, false, false, false};
    // Steady-clock time (ns) of each table's last valid read shown,
    // kNeverRead before the first since RebuildDataTables: written by the
    // worker, reset by main, read by main for the tool tips.
    std::atomic<int64_t> tableReadAt[4] = {kNeverRead, kNeverRead, kNeverRead, kNeverRead};

    // The time-out and gap the Scan window starts with: a scan's own, short
    // enough for a scan of 247 units to take under a minute. A device's
    // settings may put theirs here. Main only.
    ScanPacing scanPacing;

    // Each cycle's values, handed to the CSV recording and the trend window.
    // The worker publishes; main attaches and detaches their queues. With
    // none attached the worker builds no sample at all.
    SampleHandover samples;
    // The running cycle's sample, and whether this cycle builds one (someone
    // takes samples). Worker only.
    CycleSample cycleSample;
    bool sampling = false;
};

extern ProgramState program;
