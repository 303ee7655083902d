#include "engine/connection_control.h"

#include <string>
#include <vector>

#include "common/colours.h"
#include "common/number_rule.h"
#include "common/scan_rate.h"
#include "common/table_numbers.h"
#include "common/tick.h"
#include "connection/connect_attempt.h"
#include "connection/line_settings.h"
#include "connection/link_target.h"
#include "connection/reconnect_backoff.h"
#include "connection/serial_port.h"
#include "connection/transport.h"
#include "dataview/value_formats.h"
#include "engine/counter_tips.h"
#include "engine/data_tables.h"
#include "engine/device_scan.h"
#include "engine/message_log.h"
#include "engine/program_state.h"
#include "engine/scan_tick.h"
#include "engine/settings.h"
#include "modbus/log_format.h"
#include "ui/control_ids.h"
#include "ui/controls.h"
#include "ui/editable_list.h"
#include "ui/gui_call.h"
#include "ui/message_box.h"
#include "ui/window_timer.h"

namespace {

constexpr const char* kStatusConnected = "Read Status: Connected";
constexpr const char* kStatusNotConnected = "Read Status: Not Connected";
constexpr const char* kStatusConnecting = "Read Status: Connecting...";
constexpr const char* kConnectFailed = "Can't find the server (Is it launched ?).";
constexpr const char* kNoSerialPort = "Choose the serial port first.";

// Fixed while connected, so the request parameters and the table layout
// stay those the tables were built for.
constexpr int kParameterControls[] = {
    IdTransportLabel,
    IdTransportSelector,
    IdUnitLabel,
    IdUnitField,
    IdStartLabel,
    IdStartField,
    IdLengthLabel,
    IdLengthField,
    IdScanLabel,
    IdScanField,
    IdFormatLabel,
    IdSelectorDI,
    IdSelectorCO,
    IdSelectorIR,
    IdSelectorHR,
    // A scan uses the connection itself.
    IdScanButton,
};
// Fixed while connected too, and used only by the TCP transports: the
// server's address.
constexpr int kTcpControls[] = {IdHostLabel, IdHostField, IdPortLabel, IdPortField};
// The server command, on a TCP connection of its own: Modbus/TCP only, as
// through an RTU converter its text would go onto the serial bus.
constexpr int kCommandControls[] = {IdCommandLabel, IdCommandField, IdSendCommand};
// Fixed while connected, and used only by RTU on a serial port.
constexpr int kSerialControls[] = {
    IdSerialPortLabel, IdSerialPortField, IdBaudLabel,     IdBaudSelector,
    IdParityLabel,     IdParitySelector,  IdStopBitsLabel, IdStopBitsSelector,
};

// What the session talks to, for the log: host and port, or the serial port.
std::string LinkName()
{
    if (program.linkTransport == TransportRtuSerial)
        return program.linkSerial.port;
    return program.linkHost + ":" + std::to_string(program.linkPort & 0xFFFF);
}

// Only called while no worker runs: the worker uses the connection without
// a lock.
void CloseCurrentConnection()
{
    Connection* connection = program.connection.exchange(nullptr);
    CloseConnection(connection);
}

std::string LinkDownStatus()
{
    const int attempts = program.session.reconnectAttempts;
    if (attempts == 0)
        return "Status: Link Down, reconnecting";
    return "Status: Link Down, reconnecting (attempt " + std::to_string(attempts) + ")";
}

// Runs on the attempt's thread: main finishes the attempt.
void AttemptDone()
{
    RunOnGui([] { StartWindowTimer(kLinkTimerId, 0); });
}

// False when no thread could be started for it: it has failed already.
bool StartAttempt()
{
    program.attempt = program.linkTransport == TransportRtuSerial
                          ? StartSerialAttempt(program.linkSerial, AttemptDone)
                          : StartConnectAttempt(program.linkHost, program.linkPort, AttemptDone);
    return program.attempt != nullptr;
}

void ConnectDone(Connection* connection, ConnectFailure failure);
void ReconnectDone(Connection* connection, ConnectFailure failure);

// Back to not connected, from any state: no connection, no attempt, no
// timers; what the list shows is no longer current.
void EndSession()
{
    program.stopRequest = false;
    program.linkLost.store(false);
    AbandonConnectAttempt(program.attempt);
    program.attempt = nullptr;
    StopWindowTimer(kScanTimerId);
    StopWindowTimer(kLinkTimerId);
    CloseCurrentConnection();
    program.link = LinkOff;
    MarkAllTablesStale();
}

// A write goes only to the device it was typed for: connecting anywhere
// else drops whatever is queued for another target, each with one line.
void DropWritesForOtherTargets(const LinkTarget& target)
{
    for (const QueuedWrite& dropped : program.pendingWrites.TakeOtherTargets(target)) {
        const PendingWrite& write = dropped.write;
        // From the function code on: what it would have done.
        const int pdu = write.Length > 7 ? write.Length - 7 : 0;
        AppendLogLine("POKE dropped: typed for " + LinkTargetText(dropped.target) + ", connecting to " +
                          LinkTargetText(target) + ":" + HexDump(write.Frame.data() + 7, pdu),
                      kRed);
    }
}

// A new session: ids from 1, polling from the first read, no attempt
// failed yet, the user's connect the latest attempt.
void StartSession(const LinkTarget& target)
{
    LinkSession& session = program.session;
    session.target = target;
    session.nextTransactionId = 1;
    session.resume = ResumeAtStart;
    session.answered.store(false);
    session.reconnectAttempts = 0;
    session.failedAttempts = 0;
    session.attemptStart = MillisecondTick();
}

void Connect()
{
    // The field shows the rate that will be used, and is saved so.
    SetControlText(IdScanField, std::to_string(ScanRateInUse(TextToNumber(GetControlText(IdScanField)))));
    program.linkTransport = ChosenTransport();
    program.linkPort = TextToInt32(GetControlText(IdPortField));
    program.linkHost = GetControlText(IdHostField);
    program.linkSerial = ChosenSerialLine();
    const LinkTarget target = MakeLinkTarget(program.linkTransport, program.linkHost, program.linkPort,
                                             program.linkSerial.port, TextToInt32(GetControlText(IdUnitField)));
    DropWritesForOtherTargets(target);
    StartSession(target);
    // Over TCP a converter at the far end keeps the serial line's timing.
    program.rtuTiming =
        program.linkTransport == TransportRtuSerial ? SerialLineTiming(program.linkSerial) : RtuTiming{};
    program.link = LinkConnecting;
    UpdateConnectionControls();
    if (!StartAttempt())
        ConnectDone(nullptr, ConnectFailed);
}

void ConnectDone(Connection* connection, ConnectFailure failure)
{
    if (!connection) {
        program.link = LinkOff;
        if (program.linkTransport != TransportRtuSerial)
            ShowMessageBox(kConnectFailed);
        else if (program.linkSerial.port.empty())
            ShowMessageBox(kNoSerialPort);
        else
            ShowMessageBox(SerialOpenFailureText(failure, program.linkSerial.port));
        UpdateConnectionControls();
        StopWindowTimer(kScanTimerId);
        return;
    }
    program.session.answered.store(false);
    program.session.silenceTold = false;
    program.connection.store(connection);
    program.link = LinkUp;

    // The response times and causes describe this connection alone.
    RestartResponseFigures(FiguresSinceConnect);
    // The counts go on from where they were; only the clear action resets them.
    RefreshCounterFields();
    UpdateConnectionControls();
    SaveSettings();
    RebuildDataTables();
    // Nothing to poll without a row of an enabled table. The timer raises
    // intervals below its floor (zero and negative included).
    if (program.tableRowTotal >= 1)
        StartWindowTimer(kScanTimerId, ScanRateInUse(TextToNumber(GetControlText(IdScanField))));
}

void StartReconnectAttempt()
{
    program.session.reconnectAttempts++;
    program.session.attemptStart = MillisecondTick();
    SetStatusField(StatusText, LinkDownStatus());
    if (!StartAttempt())
        ReconnectDone(nullptr, ConnectFailed);
}

// The latest attempt failed: the next starts its pause after the latest's
// start, or at once when that pause is over.
void AttemptFailed()
{
    LinkSession& session = program.session;
    session.failedAttempts++;
    const uint32_t delay = ReconnectDelayMs(session.failedAttempts, ElapsedSince(session.attemptStart));
    if (delay == 0)
        StartReconnectAttempt();
    else
        StartWindowTimer(kLinkTimerId, delay);
}

void ReconnectDone(Connection* connection, ConnectFailure failure)
{
    if (!connection) {
        AppendLogLine("Reconnect attempt " + std::to_string(program.session.reconnectAttempts) +
                          " failed: " + ConnectFailureText(failure),
                      kRed);
        AttemptFailed();
        return;
    }
    program.session.answered.store(false);
    program.session.silenceTold = false;
    program.connection.store(connection);
    program.link = LinkUp;
    const int attempts = program.session.reconnectAttempts;
    AppendLogLine("Reconnected to " + LinkName() + " after " + std::to_string(attempts) +
                      (attempts == 1 ? " attempt" : " attempts"),
                  kDarkGrey);
    // The back-off is not over yet: a device that accepts and closes at
    // once has not answered. It starts afresh only after a valid reply.
    UpdateConnectionControls();
    // Polling resumes now rather than a whole scan period later.
    ScanTick();
}

// The worker found the link lost and has ended its cycle: close the socket
// before anything opens another, then reconnect: at once when the link had
// answered, otherwise after the pause the failed attempts call for.
void TakeDownLink()
{
    program.linkLost.store(false);
    CloseCurrentConnection();
    program.link = LinkDown;
    MarkAllTablesStale();
    LinkSession& session = program.session;
    const bool answered = session.answered.exchange(false);
    if (answered) {
        session.reconnectAttempts = 0;
        session.failedAttempts = 0;
    }
    UpdateConnectionControls();
    if (answered)
        StartReconnectAttempt();
    else
        AttemptFailed();  // lost before any valid reply: that connect did not bring it back
}

void Disconnect()
{
    if (program.workerRunning.load()) {
        // The worker is using the connection: let it finish its
        // transaction, the first tick after it ends completes the disconnect.
        program.stopRequest = true;
        program.cycleStop.store(true);
        EnableConnectButtons(false);
        UpdateConnectionControls();
        // The cycle ends after its current transaction; a tick right after
        // that completes the disconnect, whatever the scan rate.
        StartWindowTimer(kScanTimerId, kMinTimerInterval);
        return;
    }
    EndSession();
    SetStatusField(StatusText, kStatusNotConnected);
    UpdateConnectionControls();
}

}  // namespace

void ToggleConnection()
{
    switch (program.link) {
    case LinkOff:
        // The scan has the line; its buttons are off meanwhile.
        if (!DeviceScanRunning())
            Connect();
        break;
    case LinkConnecting:
        // A second click gives the connect up.
        EndSession();
        UpdateConnectionControls();
        break;
    case LinkUp:
    case LinkDown:
        Disconnect();
        break;
    }
}

void UpdateConnectionControls()
{
    const bool connected = program.link == LinkUp || program.link == LinkDown;
    switch (program.link) {
    case LinkOff:
        SetStatusField(StatusText, kStatusNotConnected);
        break;
    case LinkConnecting:
        SetStatusField(StatusText, kStatusConnecting);
        break;
    case LinkUp:
        SetStatusField(StatusText, kStatusConnected);
        break;
    case LinkDown:
        SetStatusField(StatusText, LinkDownStatus());
        break;
    }
    for (int id : kParameterControls)
        EnableControl(id, program.link == LinkOff);
    EnableTransportFields();
    // Switching editing off commits an edit that is open right now.
    SetColumnEditable(IdDataList, ValueColumnOf(TableCoils), connected);
    SetColumnEditable(IdDataList, ValueColumnOf(TableHoldingRegisters), connected);
    DeviceScanFollowsLink();
}

void EnableConnectButtons(bool enabled)
{
    for (int id : {IdConnectComms, IdConnectData, IdConnectMessages})
        EnableControl(id, enabled);
}

void FinishDeferredDisconnect()
{
    EndSession();
    SetStatusField(StatusText, kStatusNotConnected);
    EnableConnectButtons(true);
    UpdateConnectionControls();
}

void LinkTick()
{
    StopWindowTimer(kLinkTimerId);
    if (program.attempt) {
        // Only a finished attempt is taken; a stray tick leaves it running.
        if (!ConnectAttemptDone(program.attempt))
            return;
        ConnectFailure failure = ConnectFailed;
        Connection* connection = FinishConnectAttempt(program.attempt, &failure);
        program.attempt = nullptr;
        if (program.link == LinkConnecting)
            ConnectDone(connection, failure);
        else if (program.link == LinkDown)
            ReconnectDone(connection, failure);
        else
            CloseConnection(connection);
        return;
    }
    if (program.link == LinkDown) {
        StartReconnectAttempt();
        return;
    }
    if (program.link == LinkUp && program.linkLost.load()) {
        // Until the worker has left the connection alone, look again soon.
        if (program.workerRunning.load()) {
            StartWindowTimer(kLinkTimerId, kMinTimerInterval);
            return;
        }
        if (program.stopRequest)
            FinishDeferredDisconnect();
        else
            TakeDownLink();
    }
}

void ReportLinkLost()
{
    program.linkLost.store(true);
    RunOnGui([] { StartWindowTimer(kLinkTimerId, kMinTimerInterval); });
}

void AbandonConnecting()
{
    AbandonConnectAttempt(program.attempt);
    program.attempt = nullptr;
}

TransportKind ChosenTransport()
{
    const int index = GetSelectorIndex(IdTransportSelector);
    return index == TransportRtuOverTcp || index == TransportRtuSerial ? static_cast<TransportKind>(index)
                                                                       : TransportModbusTcp;
}

// The serial line as the Communications page shows it.
SerialSettings ChosenSerialLine()
{
    SerialSettings line;
    line.port = GetControlText(IdSerialPortField);
    const int baud = GetSelectorIndex(IdBaudSelector);
    if (baud >= 0 && baud < static_cast<int>(kStandardBauds.size()))
        line.baud = kStandardBauds[static_cast<size_t>(baud)];
    const int parity = GetSelectorIndex(IdParitySelector);
    if (parity >= ParityNone && parity <= ParityOdd)
        line.parity = static_cast<SerialParity>(parity);
    line.stopBits = GetSelectorIndex(IdStopBitsSelector) == 1 ? 2 : 1;
    return line;
}

void EnableTransportFields()
{
    const bool off = program.link == LinkOff;
    const TransportKind chosen = ChosenTransport();
    for (int id : kTcpControls)
        EnableControl(id, off && chosen != TransportRtuSerial);
    for (int id : kCommandControls)
        EnableControl(id, off && chosen == TransportModbusTcp);
    for (int id : kSerialControls)
        EnableControl(id, off && chosen == TransportRtuSerial);
}

void TransportChosen()
{
    // Main only: the device offered when serial was chosen, until the user
    // types another or takes it back.
    static std::string offered;
    EnableTransportFields();
    const std::string port = GetControlText(IdSerialPortField);
    if (ChosenTransport() != TransportRtuSerial) {
        // Only looked at: a Modbus/TCP user's settings file keeps no serial
        // keys for it.
        if (!offered.empty() && port == offered)
            SetControlText(IdSerialPortField, "");
        offered.clear();
        return;
    }
    // Offer a port with a device plugged in rather than an empty field; a
    // built-in port, which opens whether or not anything is wired to it, is
    // only chosen by the user.
    if (port.empty()) {
        const std::string offer = SerialPortToOffer(ListSerialPorts());
        if (!offer.empty()) {
            offered = offer;
            SetControlText(IdSerialPortField, offered);
        }
    }
}
