// The program-wide state: one instance, `program`. Each field says what it
// means, its unit and which thread owns it. "Main" is the GUI thread; the
// worker is the poll worker thread (at most one at a time).
#pragma once

#include <atomic>
#include <cstdint>
#include <limits>
#include <string>

#include "connection/connect_attempt.h"
#include "connection/line_settings.h"
#include "connection/link_target.h"
#include "connection/transport.h"
#include "dataview/cycle_sample.h"
#include "dataview/sample_handover.h"
#include "dataview/wall_clock.h"
#include "modbus/pending_writes.h"
#include "modbus/response_stats.h"
#include "modbus/response_wait.h"
#include "modbus/rtu_wait.h"
#include "modbus/scan_exchange.h"

// A table's read time before its first valid read.
constexpr int64_t kNeverRead = std::numeric_limits<int64_t>::min();

// What started the response figures afresh last.
enum FiguresStart {
    FiguresSinceStartUp,  // neither a connect nor a clear yet
    FiguresSinceConnect,  // a connect
    FiguresSinceClear,    // "Clear Log and Counters"
};

// The session as the user sees it.
enum LinkState {
    LinkOff,         // not connected
    LinkConnecting,  // Connect clicked, the connection is being opened
    LinkUp,          // connected, the connection open
    LinkDown,        // connected, but the link was lost: reconnecting
};

// Where a poll cycle starts.
enum CycleResume {
    ResumeAtStart,  // its first read (a read of tables 1..4 is its number)
    ResumeAtDiscreteInputs = 1,
    ResumeAtCoils = 2,
    ResumeAtInputRegisters = 3,
    ResumeAtHoldingRegisters = 4,
    ResumeAtWrites,  // the queued writes, no reads before them
};

// What lives from the user's connect to the disconnect, across the
// reconnects of a lost link: the device the session talks to, the
// transaction ids, where polling goes on after a reconnect, and the pace of
// the reconnect attempts.
struct LinkSession {
    // The device connected to: transport, host and port or serial port,
    // unit id. Queued writes are bound to it. Written by main at the user's
    // connect, while no cycle runs; read by main.
    LinkTarget target;
    // The transaction id of the next request, read or write: one more for
    // each, 65535 wrapping to 0. It runs on over reconnects, so that a late
    // reply to a request of a lost connection, should a gateway hand it to
    // the new one, matches no request there. RTU frames carry no id; it runs
    // all the same. Worker only; set to 1 by main at the user's connect,
    // while no cycle runs.
    uint16_t nextTransactionId = 1;
    // Where the next cycle starts: after a lost link, at the transaction it
    // was lost in, so that a device that drops the connection after a few
    // transactions still gets every table read and every write sent.
    // Worker only; set to ResumeAtStart by main at the user's connect,
    // while no cycle runs.
    CycleResume resume = ResumeAtStart;
    // A valid reply came on the current connection: only then does the
    // reconnect back-off start afresh. Set by the worker; cleared by main
    // when it stores a new connection, while no cycle runs.
    std::atomic<bool> answered{false};
    // The log has said that nothing answers on the serial port of the
    // current connection. Set by the worker; cleared by main when it stores
    // a new connection, while no cycle runs.
    bool silenceTold = false;
    // Reconnect attempts since the link went down, for the status text.
    // Main only.
    int reconnectAttempts = 0;
    // Attempts in a row (the user's connect included) whose connect failed
    // or whose connection was lost before a valid reply: they set the pause
    // before the next attempt (connection/reconnect_backoff.h). Main only.
    int failedAttempts = 0;
    // Tick (ms) of the latest attempt's start, the user's connect included:
    // the pauses run start to start. Main only.
    uint32_t attemptStart = 0;
};

struct ProgramState {
    // The open connection to the server, null when not connected and while
    // the link is down. Written by main only while no worker runs (and at
    // shutdown); read by the worker.
    std::atomic<Connection*> connection{nullptr};

    // Where the session stands. Main only. The window counts as connected
    // (parameters fixed, editing on) in LinkUp and LinkDown.
    LinkState link = LinkOff;
    // The connect in progress (manual or a reconnect), null for none. Main only.
    ConnectAttempt* attempt = nullptr;
    // Host and port of the session, for reconnecting. Main only.
    std::string linkHost;
    int64_t linkPort = 0;
    // How the session reaches the device, the serial port and its line
    // settings (RTU serial), and the line's timing (zero over TCP). Written
    // by main on connect, while no cycle runs; read by the worker.
    TransportKind linkTransport = TransportModbusTcp;
    SerialSettings linkSerial;
    RtuTiming rtuTiming;
    // The session's target, ids, resume point and reconnect pace.
    LinkSession session;
    // Set by the worker when a transaction found the link lost (closed,
    // reset, a failed send); the cycle then ends and main, once the worker
    // is done, closes the connection and reconnects. Cleared by main.
    std::atomic<bool> linkLost{false};

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
    // What last started responseStats afresh and when (wall clock, ms since
    // 1970 UTC, with the local offset then; zero before the first), so that
    // their tips can say which period they cover. Main only.
    FiguresStart figuresStart = FiguresSinceStartUp;
    WallTime figuresStartedAt;

    // Write requests from cell edits: appended by main, drained by the worker.
    PendingWriteQueue pendingWrites;

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
