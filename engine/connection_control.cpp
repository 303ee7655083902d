#include "engine/connection_control.h"

#include <string>

#include "common/colours.h"
#include "common/number_rule.h"
#include "common/scan_rate.h"
#include "common/table_numbers.h"
#include "common/tick.h"
#include "connection/connect_attempt.h"
#include "connection/transport.h"
#include "dataview/value_formats.h"
#include "engine/counter_tips.h"
#include "engine/data_tables.h"
#include "engine/message_log.h"
#include "engine/program_state.h"
#include "engine/scan_tick.h"
#include "engine/settings.h"
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

// Pauses between reconnect attempts, start to start: 1 s, 2 s, then 3 s.
uint32_t ReconnectPauseMs(int attemptsMade)
{
    return attemptsMade <= 1 ? 1000 : attemptsMade == 2 ? 2000 : 3000;
}

// Fixed while connected, so the request parameters and the table layout
// stay those the tables were built for.
constexpr int kParameterControls[] = {
    IdHostLabel,    IdHostField,   IdPortLabel,  IdPortField,  IdUnitLabel,   IdUnitField,   IdCommandLabel,
    IdCommandField, IdSendCommand, IdStartLabel, IdStartField, IdLengthLabel, IdLengthField, IdScanLabel,
    IdScanField,    IdFormatLabel, IdSelectorDI, IdSelectorCO, IdSelectorIR,  IdSelectorHR,
};

constexpr int kConnectButtons[] = {IdConnectComms, IdConnectData, IdConnectMessages};

void EnableConnectButtons(bool enabled)
{
    for (int id : kConnectButtons)
        EnableControl(id, enabled);
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
    return "Status: Link Down, reconnecting (attempt " + std::to_string(program.reconnectAttempts) + ")";
}

// Runs on the attempt's thread: main finishes the attempt.
void AttemptDone()
{
    RunOnGui([] { StartWindowTimer(kLinkTimerId, 0); });
}

// False when no thread could be started for it: it has failed already.
bool StartAttempt()
{
    program.attempt = StartConnectAttempt(program.linkHost, program.linkPort, AttemptDone);
    return program.attempt != nullptr;
}

void ConnectDone(Connection* connection);
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

void Connect()
{
    // The field shows the rate that will be used, and is saved so.
    SetControlText(IdScanField, std::to_string(ScanRateInUse(TextToNumber(GetControlText(IdScanField)))));
    program.linkPort = TextToInt32(GetControlText(IdPortField));
    program.linkHost = GetControlText(IdHostField);
    program.link = LinkConnecting;
    UpdateConnectionControls();
    if (!StartAttempt())
        ConnectDone(nullptr);
}

void ConnectDone(Connection* connection)
{
    if (!connection) {
        program.link = LinkOff;
        ShowMessageBox(kConnectFailed);
        UpdateConnectionControls();
        StopWindowTimer(kScanTimerId);
        return;
    }
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
    program.reconnectAttempts++;
    program.reconnectStart = MillisecondTick();
    SetStatusField(StatusText, LinkDownStatus());
    if (!StartAttempt())
        ReconnectDone(nullptr, ConnectFailed);
}

void ReconnectDone(Connection* connection, ConnectFailure failure)
{
    if (!connection) {
        AppendLogLine("Reconnect attempt " + std::to_string(program.reconnectAttempts) +
                          " failed: " + ConnectFailureText(failure),
                      kRed);
        const uint32_t pause = ReconnectPauseMs(program.reconnectAttempts);
        const uint32_t spent = ElapsedSince(program.reconnectStart);
        StartWindowTimer(kLinkTimerId, spent < pause ? pause - spent : 0);
        return;
    }
    program.connection.store(connection);
    program.link = LinkUp;
    AppendLogLine("Reconnected to " + program.linkHost + ":" + std::to_string(program.linkPort & 0xFFFF) + " after " +
                      std::to_string(program.reconnectAttempts) +
                      (program.reconnectAttempts == 1 ? " attempt" : " attempts"),
                  kDarkGrey);
    program.reconnectAttempts = 0;
    UpdateConnectionControls();
    // Polling resumes now rather than a whole scan period later.
    ScanTick();
}

// The worker found the link lost and has ended its cycle: close the socket
// before anything opens another, then reconnect.
void TakeDownLink()
{
    program.linkLost.store(false);
    CloseCurrentConnection();
    program.link = LinkDown;
    program.reconnectAttempts = 0;
    MarkAllTablesStale();
    UpdateConnectionControls();
    StartReconnectAttempt();
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
    // Switching editing off commits an edit that is open right now.
    SetColumnEditable(IdDataList, ValueColumnOf(TableCoils), connected);
    SetColumnEditable(IdDataList, ValueColumnOf(TableHoldingRegisters), connected);
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
            ConnectDone(connection);
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
