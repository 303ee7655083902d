// The link: the connection to the device and everything that lives and dies
// with it, from the user's connect to the disconnect, across the reconnects
// of a lost link. One instance, program.link. Each field says what it
// means, its unit and which thread owns it: "main" is the GUI thread; the
// worker is the poll worker thread. The worker uses the connection without
// a lock: main never closes or replaces it while a cycle runs (shutdown
// excepted).
#pragma once

#include <atomic>
#include <cstdint>

#include "connection/connect_attempt.h"
#include "connection/device_settings.h"
#include "connection/line_settings.h"
#include "connection/link_target.h"
#include "connection/transport.h"
#include "modbus/framing.h"
#include "modbus/pending_writes.h"
#include "modbus/transaction.h"

// The link as the user sees it.
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

struct Link {
    // Where the link stands. Main only. The window counts as connected
    // (parameters fixed, editing on) in LinkUp and LinkDown. LinkUp with
    // resting set has no connection open until the next cycle.
    LinkState state = LinkOff;

    // What the user connected to. Written by main at the user's connect,
    // while no cycle runs; read by main, and by the worker in a cycle.
    //
    // The device: transport, host and port or serial port, unit id. Queued
    // writes are bound to it; reconnects go to it.
    LinkTarget target;
    // The serial line's settings (RTU on a serial port).
    SerialSettings line;
    // How frames are cut on this transport, and the line's timing (zero
    // over TCP).
    Framing framing = kModbusTcpFraming;
    LineTiming timing;
    // The device's settings in force: taken from program.deviceSettings at
    // the user's connect and again before each cycle, by main while no
    // cycle runs; read by the worker.
    DeviceSettings device;
    // The scan timer's interval in ms: the scan-rate field's number at the
    // user's connect, raised or lowered into the field's range once, there.
    int32_t scanRateMs = 1000;

    // The open connection, null when not connected and while the link is
    // down. Written by main only while no cycle runs (and at shutdown);
    // read by the worker.
    std::atomic<Connection*> connection{nullptr};
    // The connect in progress (the user's or a reconnect), null for none.
    // Main only.
    ConnectAttempt* attempt = nullptr;

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
    // Set by the worker when a transaction found the link lost (closed,
    // reset, a failed send); the cycle then ends and main, once the worker
    // is done, closes the connection and reconnects. Cleared by main.
    std::atomic<bool> lost{false};
    // A valid reply came on the current connection: only then does the
    // reconnect back-off start afresh. Set by the worker; cleared by main
    // when it stores a new connection, while no cycle runs.
    std::atomic<bool> answered{false};
    // The log has said that nothing answers on the serial port of the
    // current connection. Set by the worker; cleared by main when it stores
    // a new connection, while no cycle runs.
    bool silenceTold = false;
    // The log has said which unit id the device answers as, for replies
    // refused for their unit id alone. Set by the worker; cleared by main at
    // the user's connect and at a reconnect, while no cycle runs (not when
    // a connection closed after a cycle is opened again).
    bool unitHintTold = false;

    // Pacing. The connection just opened is left alone for the connect
    // delay: set by main when it stores a new connection, with the tick
    // (ms) it did so, while no cycle runs; cleared by the worker once the
    // delay has passed.
    bool connectDelayDue = false;
    uint32_t connectedAt = 0;
    // Tick (ms) at which the latest transaction ended, for the gap before
    // the next request; none yet while transactionEnded is false. Worker
    // only; across reconnects too, the device's pace is the same.
    bool transactionEnded = false;
    uint32_t lastTransactionEnd = 0;

    // Closing after each cycle. Set by the worker at the end of a cycle
    // that leaves the connection to be closed; cleared by main when it
    // closes it.
    std::atomic<bool> cycleDone{false};
    // Connected, the connection closed between cycles by choice: the next
    // scan tick opens it again. Not a lost link. Main only.
    bool resting = false;

    // The back-off. Main only.
    //
    // Reconnect attempts since the link went down, for the status text.
    int reconnectAttempts = 0;
    // Attempts in a row (the user's connect included) whose connect failed
    // or whose connection was lost before a valid reply: they set the pause
    // before the next attempt (connection/reconnect_backoff.h).
    int failedAttempts = 0;
    // Tick (ms) of the latest attempt's start, the user's connect included:
    // the pauses run start to start.
    uint32_t attemptStart = 0;

    // Write requests from cell edits and the "Write value..." dialog, each
    // bound to the target it was typed for: appended by main, drained by
    // the worker; kept across disconnects for a later connect to the same
    // target.
    PendingWriteQueue pendingWrites;
};
