#include "engine/connection_control.h"

#include <string>

#include "common/colours.h"
#include "common/number_rule.h"
#include "common/scan_rate.h"
#include "common/tick.h"
#include "connection/connect_attempt.h"
#include "connection/device_settings.h"
#include "connection/line_settings.h"
#include "connection/link_target.h"
#include "connection/reconnect_backoff.h"
#include "connection/serial_port.h"
#include "connection/transport.h"
#include "engine/control_states.h"
#include "engine/counter_tips.h"
#include "engine/data_tables.h"
#include "engine/device_scan.h"
#include "engine/message_log.h"
#include "engine/program_state.h"
#include "engine/scan_tick.h"
#include "engine/settings.h"
#include "engine/transport_choice.h"
#include "modbus/log_format.h"
#include "ui/control_ids.h"
#include "ui/controls.h"
#include "ui/gui_call.h"
#include "ui/message_box.h"
#include "ui/window_timer.h"

namespace {

constexpr const char* kConnectFailed = "Can't find the server (Is it launched ?).";
constexpr const char* kNoSerialPort = "Choose the serial port first.";

// What the link goes to, for the log: host and port, or the serial port.
std::string LinkName()
{
    const LinkTarget& target = program.link.target;
    if (target.transport == TransportRtuSerial)
        return target.serialPort;
    return target.host + ":" + std::to_string(target.port);
}

// The link's state changed: the controls follow it, and so does the Scan
// window, which may start only while not connected.
void ShowLinkState()
{
    UpdateConnectionControls();
    DeviceScanFollowsLink();
}

// Only called while no worker runs: the worker uses the connection without
// a lock.
void CloseCurrentConnection()
{
    Connection* connection = program.link.connection.exchange(nullptr);
    CloseConnection(connection);
}

// Runs on the attempt's thread: main finishes the attempt.
void AttemptDone()
{
    RunOnGui([] { StartWindowTimer(kLinkTimerId, 0); });
}

// False when no thread could be started for it: it has failed already.
bool StartAttempt()
{
    Link& link = program.link;
    link.attempt = link.target.transport == TransportRtuSerial
                       ? StartSerialAttempt(link.line, AttemptDone)
                       : StartConnectAttempt(link.target.host, link.target.port, AttemptDone);
    return link.attempt != nullptr;
}

void ConnectDone(Connection* connection, ConnectFailure failure);
void ReconnectDone(Connection* connection, ConnectFailure failure);

// A connection was opened for the link: nothing has come on it yet, and
// the device gets its connect delay. Afresh: not one opened again after a
// cycle, so the log may tell again what the device needs. Only called
// while no worker runs.
void LinkIsUp(Connection* connection, bool afresh)
{
    Link& link = program.link;
    link.answered.store(false);
    link.silenceTold = false;
    if (afresh)
        link.unitHintTold = false;
    link.connectDelayDue = true;
    link.connectedAt = MillisecondTick();
    link.resting = false;
    link.cycleDone.store(false);
    link.connection.store(connection);
    link.state = LinkUp;
}

// Back to not connected, from any state: no connection, no attempt, no
// timers; what the list shows is no longer current.
void EndSession()
{
    program.stopRequest = false;
    program.link.lost.store(false);
    program.link.cycleDone.store(false);
    program.link.resting = false;
    AbandonConnectAttempt(program.link.attempt);
    program.link.attempt = nullptr;
    StopWindowTimer(kScanTimerId);
    StopWindowTimer(kLinkTimerId);
    CloseCurrentConnection();
    program.link.state = LinkOff;
    MarkAllTablesStale();
}

// A write goes only to the device it was typed for: connecting anywhere
// else drops whatever is queued for another target, each with one line.
void DropWritesForOtherTargets(const LinkTarget& target)
{
    for (const QueuedWrite& dropped : program.link.pendingWrites.TakeOtherTargets(target)) {
        const PendingWrite& write = dropped.write;
        // From the function code on: what it would have done.
        const int pdu = write.length > 7 ? write.length - 7 : 0;
        AppendLogLine("POKE dropped: typed for " + LinkTargetText(dropped.target) + ", connecting to " +
                          LinkTargetText(target) + ":" + HexDump(write.frame.data() + 7, pdu),
                      kRed);
    }
}

// The user's connect: the target, the line and the scan rate as the page
// shows them, fixed for the link's life; ids from 1, polling from the first
// read, no attempt failed yet, this connect the latest attempt.
void StartLink()
{
    Link& link = program.link;
    // Read once, brought into the field's range once: the field shows the
    // rate in force, and is saved so.
    link.scanRateMs = ScanRateInUse(TextToNumber(GetControlText(IdScanField)));
    SetControlText(IdScanField, std::to_string(link.scanRateMs));
    const TransportKind transport = ChosenTransport();
    link.line = ChosenSerialLine();
    link.target = MakeLinkTarget(transport, GetControlText(IdHostField), TextToInt32(GetControlText(IdPortField)),
                                 link.line.port, TextToInt32(GetControlText(IdUnitField)));
    link.framing = FramingOf(transport);
    // Over TCP a converter at the far end keeps the serial line's timing.
    link.timing = transport == TransportRtuSerial ? SerialLineTiming(link.line) : LineTiming{};
    link.device = program.deviceSettings;
    link.nextTransactionId = 1;
    link.resume = ResumeAtStart;
    link.answered.store(false);
    link.reconnectAttempts = 0;
    link.failedAttempts = 0;
    link.attemptStart = MillisecondTick();
}

void Connect()
{
    StartLink();
    DropWritesForOtherTargets(program.link.target);
    program.link.state = LinkConnecting;
    ShowLinkState();
    if (!StartAttempt())
        ConnectDone(nullptr, ConnectFailed);
}

void ConnectDone(Connection* connection, ConnectFailure failure)
{
    Link& link = program.link;
    if (!connection) {
        link.state = LinkOff;
        if (link.target.transport != TransportRtuSerial)
            ShowMessageBox(kConnectFailed);
        else if (link.line.port.empty())
            ShowMessageBox(kNoSerialPort);
        else
            ShowMessageBox(SerialOpenFailureText(failure, link.line.port));
        ShowLinkState();
        StopWindowTimer(kScanTimerId);
        return;
    }
    LinkIsUp(connection, true);
    // What the device was set up to need, where it is not the usual.
    if (!IsDefaultDevice(link.device))
        AppendLogLine("Connected to " + LinkName() + ", device settings: " + DeviceSettingsText(link.device),
                      kDarkGrey);

    // The response times and causes describe this connection alone.
    RestartResponseFigures(FiguresSinceConnect);
    // The counts go on from where they were; only the clear action resets them.
    RefreshCounterFields();
    ShowLinkState();
    SaveSettings();
    RebuildDataTables();
    // Nothing to poll without a row of an enabled table. The timer raises
    // intervals below its floor (zero and negative included).
    if (program.tableRowTotal >= 1)
        StartWindowTimer(kScanTimerId, link.scanRateMs);
}

void StartReconnectAttempt()
{
    program.link.reconnectAttempts++;
    program.link.attemptStart = MillisecondTick();
    SetStatusField(StatusText, LinkDownStatus());
    if (!StartAttempt())
        ReconnectDone(nullptr, ConnectFailed);
}

// The latest attempt failed: the next starts its pause after the latest's
// start, or at once when that pause is over.
void AttemptFailed()
{
    Link& link = program.link;
    link.failedAttempts++;
    const uint32_t delay = ReconnectDelayMs(link.failedAttempts, ElapsedSince(link.attemptStart));
    if (delay == 0)
        StartReconnectAttempt();
    else
        StartWindowTimer(kLinkTimerId, delay);
}

void ReconnectDone(Connection* connection, ConnectFailure failure)
{
    if (!connection) {
        AppendLogLine("Reconnect attempt " + std::to_string(program.link.reconnectAttempts) +
                          " failed: " + ConnectFailureText(failure),
                      kRed);
        AttemptFailed();
        return;
    }
    LinkIsUp(connection, true);
    const int attempts = program.link.reconnectAttempts;
    AppendLogLine("Reconnected to " + LinkName() + " after " + std::to_string(attempts) +
                      (attempts == 1 ? " attempt" : " attempts"),
                  kDarkGrey);
    // The back-off is not over yet: a device that accepts and closes at
    // once has not answered. It starts afresh only after a valid reply.
    ShowLinkState();
    // Polling resumes now rather than a whole scan period later.
    ScanTick();
}

// The worker found the link lost and has ended its cycle: close the socket
// before anything opens another, then reconnect: at once when the link had
// answered, otherwise after the pause the failed attempts call for.
void TakeDownLink()
{
    Link& link = program.link;
    link.lost.store(false);
    CloseCurrentConnection();
    link.state = LinkDown;
    MarkAllTablesStale();
    const bool answered = link.answered.exchange(false);
    if (answered) {
        link.reconnectAttempts = 0;
        link.failedAttempts = 0;
    }
    ShowLinkState();
    if (answered)
        StartReconnectAttempt();
    else
        AttemptFailed();  // lost before any valid reply: that connect did not bring it back
}

// The cycle is over on a device that keeps no connection between cycles:
// closed by choice, not lost; the next scan tick opens it again.
void RestLink()
{
    Link& link = program.link;
    link.cycleDone.store(false);
    CloseCurrentConnection();
    link.resting = true;
}

// The connection could not be opened again for the next cycle: from here
// on it is a lost link, brought back with the back-off.
void ReopenFailed(ConnectFailure failure)
{
    Link& link = program.link;
    link.resting = false;
    link.state = LinkDown;
    link.reconnectAttempts = 0;
    link.failedAttempts = 0;
    MarkAllTablesStale();
    AppendLogLine(std::string("Connection lost: opening it again for the next cycle failed: ") +
                      ConnectFailureText(failure),
                  kRed);
    UpdateConnectionControls();
    AttemptFailed();
}

void ReopenDone(Connection* connection, ConnectFailure failure)
{
    if (!connection) {
        ReopenFailed(failure);
        return;
    }
    LinkIsUp(connection, false);
    // The cycle the scan tick asked for runs now.
    ScanTick();
}

void Disconnect()
{
    if (program.workerRunning.load()) {
        // The worker is using the connection: let it finish its
        // transaction, the first tick after it ends completes the disconnect.
        program.stopRequest = true;
        program.cycleStop.store(true);
        EnableConnectButtons(false);
        ShowLinkState();
        // The cycle ends after its current transaction; a tick right after
        // that completes the disconnect, whatever the scan rate.
        StartWindowTimer(kScanTimerId, kLookAgainMs);
        return;
    }
    EndSession();
    SetStatusField(StatusText, kStatusNotConnected);
    ShowLinkState();
}

}  // namespace

void ToggleConnection()
{
    switch (program.link.state) {
    case LinkOff:
        // The scan has the line; its buttons are off meanwhile.
        if (!DeviceScanRunning())
            Connect();
        break;
    case LinkConnecting:
        // A second click gives the connect up.
        EndSession();
        ShowLinkState();
        break;
    case LinkUp:
    case LinkDown:
        Disconnect();
        break;
    }
}

void FinishDeferredDisconnect()
{
    EndSession();
    SetStatusField(StatusText, kStatusNotConnected);
    EnableConnectButtons(true);
    ShowLinkState();
}

void LinkTick()
{
    StopWindowTimer(kLinkTimerId);
    Link& link = program.link;
    if (link.attempt) {
        // Only a finished attempt is taken; a stray tick leaves it running.
        if (!ConnectAttemptDone(link.attempt))
            return;
        ConnectFailure failure = ConnectFailed;
        Connection* connection = FinishConnectAttempt(link.attempt, &failure);
        link.attempt = nullptr;
        if (link.state == LinkConnecting)
            ConnectDone(connection, failure);
        else if (link.state == LinkDown)
            ReconnectDone(connection, failure);
        else if (link.state == LinkUp && link.resting)
            ReopenDone(connection, failure);
        else
            CloseConnection(connection);
        return;
    }
    if (link.state == LinkDown) {
        StartReconnectAttempt();
        return;
    }
    if (link.state == LinkUp && (link.lost.load() || link.cycleDone.load())) {
        // Until the worker has left the connection alone, look again soon.
        if (program.workerRunning.load()) {
            StartWindowTimer(kLinkTimerId, kLookAgainMs);
            return;
        }
        if (program.stopRequest)
            FinishDeferredDisconnect();
        else if (link.lost.load())
            TakeDownLink();
        else
            RestLink();
    }
}

bool ReopenForCycle()
{
    Link& link = program.link;
    // The cycle before ended so recently that its close is still to come.
    if (link.state == LinkUp && link.cycleDone.load())
        RestLink();
    if (link.state != LinkUp || !link.resting)
        return false;
    // One attempt at a time; ticks while it runs do nothing.
    if (!link.attempt && !StartAttempt())
        ReopenFailed(ConnectFailed);
    return true;
}

void ReportCycleDone()
{
    program.link.cycleDone.store(true);
    RunOnGui([] { StartWindowTimer(kLinkTimerId, kLookAgainMs); });
}

void ReportLinkLost()
{
    program.link.lost.store(true);
    RunOnGui([] { StartWindowTimer(kLinkTimerId, kLookAgainMs); });
}

void AbandonConnecting()
{
    AbandonConnectAttempt(program.link.attempt);
    program.link.attempt = nullptr;
}
