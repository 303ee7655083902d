// The program-wide state: one instance, `program`. Each field says what it
// means, its unit and which thread owns it. "Main" is the GUI thread; the
// worker is the poll worker thread (at most one at a time).
#pragma once

#include <atomic>
#include <cstdint>

#include "connection/transport.h"
#include "modbus/pending_writes.h"
#include "modbus/response_stats.h"

struct ProgramState {
    // The open connection to the server, null when not connected. Written by
    // main only while no worker runs (and at shutdown); read by the worker.
    std::atomic<Connection*> connection{nullptr};

    // The poll worker: one thread, started by the first scan tick that
    // polls and kept for the rest of the run, that runs one cycle each time
    // this count goes up. Raised by main only, and only while no cycle runs.
    std::atomic<uint32_t> cycleRequests{0};
    // The number of the most recent cycle, handed out from 1 upwards; 0 for
    // none or when the worker thread could not be started. Main only.
    // Written by ScanTick and read by no code: whether a cycle runs is
    // workerRunning's to say; the number tells cycles apart in a debugger.
    uint32_t pollWorker = 0;
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

    // Write requests from cell edits: appended by main, drained by the worker.
    PendingWriteQueue pendingWrites;

    // Rows to poll after the last RebuildDataTables: the sum of the length
    // over the enabled tables (0 when none). Main only.
    int64_t tableRowTotal = 0;
    // Start address of the block at the last RebuildDataTables: list row r
    // stands for address tableStartAddress + r. Main only.
    int64_t tableStartAddress = 1;
};

extern ProgramState program;
